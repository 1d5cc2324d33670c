#include "platform/vcl/Bmp.h"

#include <string>

#include "platform/vcl/SysUtils.h"

namespace vcl {

namespace {

constexpr std::uint64_t kFileHeaderSize = 14;
constexpr std::uint64_t kInfoHeaderSize = 40;

std::uint32_t U16(std::span<const unsigned char> d, std::size_t at) {
  return static_cast<std::uint32_t>(d[at]) | static_cast<std::uint32_t>(d[at + 1]) << 8;
}

std::uint32_t U32(std::span<const unsigned char> d, std::size_t at) {
  return U16(d, at) | U16(d, at + 2) << 16;
}

std::int32_t S32(std::span<const unsigned char> d, std::size_t at) {
  return static_cast<std::int32_t>(U32(d, at));
}

}  // namespace

DecodedImage DecodeBmp(std::span<const unsigned char> data, std::string_view name) {
  auto fail = [&](const std::string& reason) -> DecodedImage {
    throw Exception("Cannot read picture '" + std::string(name) + "': " + reason);
  };
  const std::uint64_t size = data.size();
  if (size == 0) return fail("there is no data");
  if (size < 2 || data[0] != 'B' || data[1] != 'M') return fail("it is not a bitmap file");
  if (size < kFileHeaderSize + 4) return fail("the file header is truncated");
  const std::uint64_t pixelOffset = U32(data, 10);
  const std::uint64_t headerSize = U32(data, 14);
  if (headerSize < kInfoHeaderSize)
    return fail("the info header of " + std::to_string(headerSize) + " bytes is not supported");
  if (kFileHeaderSize + headerSize > size) return fail("the info header is truncated");

  const std::int32_t width = S32(data, 18);
  const std::int32_t rawHeight = S32(data, 22);
  const std::uint32_t planes = U16(data, 26);
  const std::uint32_t bits = U16(data, 28);
  const std::uint32_t compression = U32(data, 30);
  const std::uint64_t coloursUsed = U32(data, 46);

  // Top-down pictures carry a negative height; the most negative value has no positive twin.
  const bool topDown = rawHeight < 0;
  const std::int64_t height = topDown ? -static_cast<std::int64_t>(rawHeight) : rawHeight;
  if (width <= 0 || height <= 0)
    return fail("the size " + std::to_string(width) + " x " + std::to_string(rawHeight) + " is invalid");
  if (width > kMaxBmpSide || height > kMaxBmpSide || std::int64_t{width} * height > kMaxBmpPixels)
    return fail("the size " + std::to_string(width) + " x " + std::to_string(rawHeight) + " is too large");
  if (planes != 1) return fail(std::to_string(planes) + " planes are not supported");
  if (bits != 8 && bits != 24) return fail(std::to_string(bits) + " bits per pixel are not supported");
  if (compression != 0) return fail("compressed bitmaps are not supported");

  const std::uint64_t paletteStart = kFileHeaderSize + headerSize;
  std::uint64_t paletteCount = 0;
  if (bits == 8) {
    if (coloursUsed > 256) return fail("the palette of " + std::to_string(coloursUsed) + " colours is too large");
    paletteCount = coloursUsed == 0 ? 256 : coloursUsed;
    if (paletteStart + paletteCount * 4 > size) return fail("the palette is truncated");
  }
  if (pixelOffset < paletteStart + paletteCount * 4) return fail("the pixel data overlaps the headers");

  // Rows are padded to four bytes; the last row's padding may be missing.
  const std::uint64_t rowBytes = static_cast<std::uint64_t>(width) * (bits / 8);
  const std::uint64_t stride = (rowBytes + 3) / 4 * 4;
  const std::uint64_t rows = static_cast<std::uint64_t>(height);
  if (pixelOffset > size || (size - pixelOffset) < stride * (rows - 1) + rowBytes)
    return fail("the pixel data is truncated");

  std::uint32_t palette[256] = {};
  for (std::uint64_t i = 0; i < paletteCount; ++i) {
    const std::size_t at = static_cast<std::size_t>(paletteStart + i * 4);
    palette[i] = static_cast<std::uint32_t>(data[at + 2]) << 16 | static_cast<std::uint32_t>(data[at + 1]) << 8 |
                 data[at];
  }

  DecodedImage image;
  image.width = width;
  image.height = static_cast<std::int32_t>(height);
  image.pixels.resize(static_cast<std::size_t>(std::int64_t{width} * height));
  for (std::uint64_t y = 0; y < rows; ++y) {
    const std::uint64_t sourceRow = topDown ? y : rows - 1 - y;
    const unsigned char* src = data.data() + pixelOffset + sourceRow * stride;
    std::uint32_t* dst = image.pixels.data() + y * static_cast<std::uint64_t>(width);
    if (bits == 24) {
      for (std::int32_t x = 0; x < width; ++x, src += 3)
        dst[x] = static_cast<std::uint32_t>(src[2]) << 16 | static_cast<std::uint32_t>(src[1]) << 8 | src[0];
    } else {
      for (std::int32_t x = 0; x < width; ++x) {
        const unsigned index = src[x];
        if (index >= paletteCount)
          return fail("a pixel names colour " + std::to_string(index) + " of a palette of " +
                      std::to_string(paletteCount));
        dst[x] = palette[index];
      }
    }
  }
  return image;
}

}  // namespace vcl
