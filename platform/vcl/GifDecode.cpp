// GIF decoding with giflib from memory: the first image of the file, drawn on its logical screen.
#include <algorithm>
#include <cstring>
#include <vector>

#include <gif_lib.h>

#include "platform/vcl/Graphics.h"
#include "platform/vcl/SysUtils.h"

namespace vcl::detail {
namespace {

struct Reader {
  std::span<const std::uint8_t> data;
  std::size_t pos = 0;
};

int Read(GifFileType* gif, GifByteType* buffer, int length) {
  auto* r = static_cast<Reader*>(gif->UserData);
  if (length <= 0) return 0;
  std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(length), r->data.size() - r->pos);
  std::memcpy(buffer, r->data.data() + r->pos, n);
  r->pos += n;
  return static_cast<int>(n);
}

struct Closer {
  GifFileType* gif;
  ~Closer() {
    int error = 0;
    if (gif) DGifCloseFile(gif, &error);
  }
};

[[noreturn]] void Fail(const GifFileType* gif, const char* what) {
  const char* reason = gif ? GifErrorString(gif->Error) : nullptr;
  throw Exception(std::string(what) + (reason ? std::string(": ") + reason : std::string()));
}

}  // namespace

void DecodeGif(std::span<const std::uint8_t> data, TBitmap& out) {
  if (data.size() < 6 || std::memcmp(data.data(), "GIF", 3) != 0) throw Exception("not a GIF file");
  Reader reader{data, 0};
  int error = 0;
  GifFileType* gif = DGifOpen(&reader, Read, &error);
  if (!gif) throw Exception(std::string("not a GIF file: ") + (GifErrorString(error) ? GifErrorString(error) : "?"));
  Closer closer{gif};

  for (;;) {
    GifRecordType record = UNDEFINED_RECORD_TYPE;
    if (DGifGetRecordType(gif, &record) == GIF_ERROR) Fail(gif, "damaged GIF file");
    if (record == TERMINATE_RECORD_TYPE) throw Exception("GIF file without an image");
    if (record == EXTENSION_RECORD_TYPE) {
      int code = 0;
      GifByteType* block = nullptr;
      if (DGifGetExtension(gif, &code, &block) == GIF_ERROR) Fail(gif, "damaged GIF file");
      while (block) {
        if (DGifGetExtensionNext(gif, &block) == GIF_ERROR) Fail(gif, "damaged GIF file");
      }
      continue;
    }
    if (record != IMAGE_DESC_RECORD_TYPE) throw Exception("damaged GIF file");
    if (DGifGetImageDesc(gif) == GIF_ERROR) Fail(gif, "damaged GIF file");

    const GifImageDesc& image = gif->Image;
    const std::int64_t left = image.Left, top = image.Top, iw = image.Width, ih = image.Height;
    const std::int64_t sw = gif->SWidth > 0 ? gif->SWidth : left + iw;
    const std::int64_t sh = gif->SHeight > 0 ? gif->SHeight : top + ih;
    if (!PictureSizeAllowed(sw, sh) || !PictureSizeAllowed(iw, ih)) throw Exception("invalid GIF picture size");
    const ColorMapObject* map = image.ColorMap ? image.ColorMap : gif->SColorMap;
    if (!map || !map->Colors || map->ColorCount <= 0) throw Exception("GIF file without a colour table");

    std::uint32_t palette[256] = {};  // indices past the table are black
    for (int i = 0; i < std::min(map->ColorCount, 256); ++i) {
      const GifColorType& c = map->Colors[i];
      palette[i] = (std::uint32_t{c.Red} << 16) | (std::uint32_t{c.Green} << 8) | c.Blue;
    }

    TBitmap picture(static_cast<std::int32_t>(sw), static_cast<std::int32_t>(sh));
    std::vector<GifPixelType> line(static_cast<std::size_t>(iw));
    auto putRow = [&](std::int64_t row) {
      const std::int64_t y = top + row;
      if (y < 0 || y >= sh) return;
      std::uint32_t* dst = picture.ScanLine(static_cast<std::int32_t>(y));
      const std::int64_t x1 = std::min(iw, sw - left);
      for (std::int64_t x = 0; x < x1; ++x) dst[left + x] = palette[line[static_cast<std::size_t>(x)]];
    };
    if (image.Interlace) {
      static constexpr int kStart[4] = {0, 4, 2, 1}, kStep[4] = {8, 8, 4, 2};
      for (int pass = 0; pass < 4; ++pass)
        for (std::int64_t row = kStart[pass]; row < ih; row += kStep[pass]) {
          if (DGifGetLine(gif, line.data(), static_cast<int>(iw)) == GIF_ERROR) Fail(gif, "damaged GIF file");
          putRow(row);
        }
    } else {
      for (std::int64_t row = 0; row < ih; ++row) {
        if (DGifGetLine(gif, line.data(), static_cast<int>(iw)) == GIF_ERROR) Fail(gif, "damaged GIF file");
        putRow(row);
      }
    }
    out = picture;
    return;
  }
}

}  // namespace vcl::detail
