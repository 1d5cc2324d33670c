#pragma once
// Windows bitmap files ("BM"): uncompressed 8 bits per pixel with a palette and 24 bits per pixel,
// bottom-up or top-down, with the 40-byte info header or any later (longer) one.
//
// The bytes are untrusted: every size is checked before it is used or anything is allocated, and a
// picture that cannot be read raises vcl::Exception "Cannot read picture '<name>': <reason>".
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace vcl {

// Pixels 0x00RRGGBB, rows top to bottom, `width` pixels a row.
struct DecodedImage {
  std::int32_t width = 0, height = 0;
  std::vector<std::uint32_t> pixels;
};

// The same bounds as every other picture: each side at most 65535 pixels, at most 64 Mpixel.
inline constexpr std::int64_t kMaxBmpSide = 65535;
inline constexpr std::int64_t kMaxBmpPixels = std::int64_t{64} * 1024 * 1024;

// Decodes `data`; `name` names the picture in the error message.
DecodedImage DecodeBmp(std::span<const unsigned char> data, std::string_view name);

}  // namespace vcl
