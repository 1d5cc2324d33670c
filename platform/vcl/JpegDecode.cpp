// JPEG decoding with libjpeg-turbo from memory. libjpeg reports errors by calling error_exit, which
// must not return; it jumps back here with longjmp. The function that calls setjmp keeps no C++
// object of its own that the jump could skip: the output lives with the caller.
#include <csetjmp>
#include <cstdio>
#include <cstring>

#include <jpeglib.h>

#include "platform/vcl/Graphics.h"
#include "platform/vcl/SysUtils.h"

namespace vcl::detail {
namespace {

// Progressive files may carry many scans; far more than any real picture has means a hostile file.
constexpr int kMaxScans = 500;

struct ErrorManager {
  jpeg_error_mgr pub;
  std::jmp_buf jump;
  char message[JMSG_LENGTH_MAX];
};

[[noreturn]] void ErrorExit(j_common_ptr cinfo) {
  auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
  (*cinfo->err->format_message)(cinfo, err->message);
  std::longjmp(err->jump, 1);
}

// Warnings (corrupt or truncated data) end the decoding too: a picture is read whole or not at all.
void EmitMessage(j_common_ptr cinfo, int level) {
  if (level < 0) ErrorExit(cinfo);
}

void Progress(j_common_ptr cinfo) {
  if (cinfo->is_decompressor) {
    auto* d = reinterpret_cast<j_decompress_ptr>(cinfo);
    if (d->input_scan_number > kMaxScans) {
      auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
      std::snprintf(err->message, sizeof err->message, "too many scans");
      std::longjmp(err->jump, 1);
    }
  }
}

struct Decoder {
  jpeg_decompress_struct cinfo;
  ErrorManager err;
  jpeg_progress_mgr progress;
};

enum class Stage { Failed, NeedSize, Done };

// Runs the decoding in two calls: first up to the size (the caller then allocates), then the rows.
// Returns Failed with d.err.message set when libjpeg gave up.
Stage Run(Decoder& d, std::span<const std::uint8_t> data, std::uint8_t* rows, std::size_t rowBytes) {
  if (setjmp(d.err.jump)) return Stage::Failed;
  if (!rows) {
    jpeg_mem_src(&d.cinfo, data.data(), static_cast<unsigned long>(data.size()));
    jpeg_read_header(&d.cinfo, TRUE);
    d.cinfo.out_color_space = JCS_EXT_BGRX;
    jpeg_calc_output_dimensions(&d.cinfo);
    return Stage::NeedSize;
  }
  jpeg_start_decompress(&d.cinfo);
  if (d.cinfo.output_width * 4 != rowBytes || d.cinfo.output_components != 4) {
    std::snprintf(d.err.message, sizeof d.err.message, "unexpected output size");
    return Stage::Failed;
  }
  while (d.cinfo.output_scanline < d.cinfo.output_height) {
    JSAMPROW row = rows + static_cast<std::size_t>(d.cinfo.output_scanline) * rowBytes;
    jpeg_read_scanlines(&d.cinfo, &row, 1);
  }
  jpeg_finish_decompress(&d.cinfo);
  return Stage::Done;
}

}  // namespace

void DecodeJpeg(std::span<const std::uint8_t> data, TBitmap& out) {
  if (data.size() < 4) throw Exception("not a JPEG file");
  Decoder d{};
  d.cinfo.err = jpeg_std_error(&d.err.pub);
  d.err.pub.error_exit = ErrorExit;
  d.err.pub.emit_message = EmitMessage;
  d.err.message[0] = '\0';
  jpeg_create_decompress(&d.cinfo);
  d.progress.progress_monitor = Progress;
  d.cinfo.progress = &d.progress;

  struct Destroy {
    Decoder& d;
    ~Destroy() { jpeg_destroy_decompress(&d.cinfo); }
  } destroy{d};

  if (Run(d, data, nullptr, 0) == Stage::Failed) throw Exception(d.err.message);
  const std::int64_t width = d.cinfo.output_width, height = d.cinfo.output_height;
  if (!PictureSizeAllowed(width, height)) throw Exception("picture too large");
  TBitmap decoded(static_cast<std::int32_t>(width), static_cast<std::int32_t>(height));
  auto* rows = reinterpret_cast<std::uint8_t*>(decoded.ScanLine(0));
  if (Run(d, data, rows, static_cast<std::size_t>(width) * 4) == Stage::Failed) throw Exception(d.err.message);
  // The fourth byte of each pixel is libjpeg's filler; the surfaces' pixels keep it 0.
  for (std::int32_t y = 0; y < height; ++y) {
    std::uint32_t* row = decoded.ScanLine(y);
    for (std::int32_t x = 0; x < width; ++x) row[x] &= 0x00FFFFFFu;
  }
  out = decoded;
}

}  // namespace vcl::detail
