#pragma once
// Small pictures made in the tests themselves: JPEG through libjpeg, GIF through giflib, and
// Windows bitmap files written byte by byte.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <vector>

#include <gif_lib.h>
#include <jpeglib.h>

namespace pictures_test {

using Bytes = std::vector<std::uint8_t>;
using PixelFn = std::function<std::uint32_t(int x, int y)>;  // 0x00RRGGBB

struct JpegOptions {
  int quality = 95;
  bool progressive = false;
  bool gray = false;
};

inline Bytes EncodeJpeg(int width, int height, const PixelFn& pixel, JpegOptions options = {}) {
  jpeg_compress_struct cinfo{};
  jpeg_error_mgr err{};
  cinfo.err = jpeg_std_error(&err);
  jpeg_create_compress(&cinfo);
  unsigned char* out = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&cinfo, &out, &size);
  cinfo.image_width = static_cast<JDIMENSION>(width);
  cinfo.image_height = static_cast<JDIMENSION>(height);
  cinfo.input_components = options.gray ? 1 : 3;
  cinfo.in_color_space = options.gray ? JCS_GRAYSCALE : JCS_RGB;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, options.quality, TRUE);
  if (options.progressive) jpeg_simple_progression(&cinfo);
  jpeg_start_compress(&cinfo, TRUE);
  std::vector<JSAMPLE> row(static_cast<std::size_t>(width) * cinfo.input_components);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const std::uint32_t p = pixel(x, y);
      if (options.gray) {
        row[static_cast<std::size_t>(x)] = static_cast<JSAMPLE>(p & 0xFF);
      } else {
        row[static_cast<std::size_t>(x) * 3 + 0] = static_cast<JSAMPLE>((p >> 16) & 0xFF);
        row[static_cast<std::size_t>(x) * 3 + 1] = static_cast<JSAMPLE>((p >> 8) & 0xFF);
        row[static_cast<std::size_t>(x) * 3 + 2] = static_cast<JSAMPLE>(p & 0xFF);
      }
    }
    JSAMPROW r = row.data();
    jpeg_write_scanlines(&cinfo, &r, 1);
  }
  jpeg_finish_compress(&cinfo);
  Bytes bytes(out, out + size);
  jpeg_destroy_compress(&cinfo);
  std::free(out);
  return bytes;
}

struct GifFrame {
  int left = 0, top = 0, width = 0, height = 0;
  bool interlace = false;
  std::vector<std::uint8_t> indices;  // width × height, rows top to bottom
};

// A GIF of one image on a width × height screen with a global palette (0x00RRGGBB entries, a
// power of two of them); `transparent` >= 0 adds a graphic control block naming that index.
inline Bytes EncodeGif(int width, int height, const std::vector<std::uint32_t>& palette, const GifFrame& frame,
                       int transparent = -1) {
  struct Sink {
    static int Write(GifFileType* gif, const GifByteType* data, int length) {
      auto* out = static_cast<Bytes*>(gif->UserData);
      out->insert(out->end(), data, data + length);
      return length;
    }
  };
  Bytes bytes;
  int error = 0;
  GifFileType* gif = EGifOpen(&bytes, Sink::Write, &error);
  if (!gif) return {};
  std::vector<GifColorType> colors(palette.size());
  for (std::size_t i = 0; i < palette.size(); ++i)
    colors[i] = GifColorType{static_cast<GifByteType>(palette[i] >> 16), static_cast<GifByteType>(palette[i] >> 8),
                             static_cast<GifByteType>(palette[i])};
  ColorMapObject* map = GifMakeMapObject(static_cast<int>(palette.size()), colors.data());
  EGifSetGifVersion(gif, true);
  EGifPutScreenDesc(gif, width, height, map->BitsPerPixel, 0, map);
  if (transparent >= 0) {
    GraphicsControlBlock gcb{};
    gcb.DisposalMode = DISPOSAL_UNSPECIFIED;
    gcb.TransparentColor = transparent;
    GifByteType ext[4];
    const std::size_t n = EGifGCBToExtension(&gcb, ext);
    EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, static_cast<int>(n), ext);
  }
  EGifPutImageDesc(gif, frame.left, frame.top, frame.width, frame.height, frame.interlace, nullptr);
  std::vector<GifPixelType> line(static_cast<std::size_t>(frame.width));
  auto put = [&](int row) {
    std::memcpy(line.data(), frame.indices.data() + static_cast<std::size_t>(row) * frame.width, line.size());
    EGifPutLine(gif, line.data(), frame.width);
  };
  if (frame.interlace) {
    static constexpr int kStart[4] = {0, 4, 2, 1}, kStep[4] = {8, 8, 4, 2};
    for (int pass = 0; pass < 4; ++pass)
      for (int row = kStart[pass]; row < frame.height; row += kStep[pass]) put(row);
  } else {
    for (int row = 0; row < frame.height; ++row) put(row);
  }
  EGifCloseFile(gif, &error);
  GifFreeMapObject(map);
  return bytes;
}

inline void Put16(Bytes& b, std::size_t at, std::uint32_t v) {
  b[at] = static_cast<std::uint8_t>(v);
  b[at + 1] = static_cast<std::uint8_t>(v >> 8);
}
inline void Put32(Bytes& b, std::size_t at, std::uint32_t v) {
  Put16(b, at, v);
  Put16(b, at + 2, v >> 16);
}

// An uncompressed Windows bitmap file, bottom-up, of 8 bits per pixel (`pixel` gives palette
// indices) or 24 (`pixel` gives 0x00RRGGBB).
inline Bytes EncodeBmp(int width, int height, int bits, const PixelFn& pixel,
                       const std::vector<std::uint32_t>& palette = {}) {
  const std::size_t stride = (static_cast<std::size_t>(width) * (bits / 8) + 3) / 4 * 4;
  const std::size_t paletteBytes = bits == 8 ? palette.size() * 4 : 0;
  const std::size_t offset = 14 + 40 + paletteBytes;
  Bytes b(offset + stride * static_cast<std::size_t>(height), 0);
  b[0] = 'B';
  b[1] = 'M';
  Put32(b, 2, static_cast<std::uint32_t>(b.size()));
  Put32(b, 10, static_cast<std::uint32_t>(offset));
  Put32(b, 14, 40);
  Put32(b, 18, static_cast<std::uint32_t>(width));
  Put32(b, 22, static_cast<std::uint32_t>(height));
  Put16(b, 26, 1);
  Put16(b, 28, static_cast<std::uint32_t>(bits));
  Put32(b, 46, bits == 8 ? static_cast<std::uint32_t>(palette.size()) : 0);
  for (std::size_t i = 0; i < palette.size() && bits == 8; ++i) {
    b[54 + i * 4 + 0] = static_cast<std::uint8_t>(palette[i]);
    b[54 + i * 4 + 1] = static_cast<std::uint8_t>(palette[i] >> 8);
    b[54 + i * 4 + 2] = static_cast<std::uint8_t>(palette[i] >> 16);
  }
  for (int y = 0; y < height; ++y) {
    std::uint8_t* row = b.data() + offset + stride * static_cast<std::size_t>(height - 1 - y);
    for (int x = 0; x < width; ++x) {
      const std::uint32_t p = pixel(x, y);
      if (bits == 8) {
        row[x] = static_cast<std::uint8_t>(p);
      } else {
        row[x * 3 + 0] = static_cast<std::uint8_t>(p);
        row[x * 3 + 1] = static_cast<std::uint8_t>(p >> 8);
        row[x * 3 + 2] = static_cast<std::uint8_t>(p >> 16);
      }
    }
  }
  return b;
}

}  // namespace pictures_test
