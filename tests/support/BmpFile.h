#pragma once
// Writes Windows bitmap files for the tests, field by field, so that each can be set to any value.
#include <cstdint>
#include <vector>

namespace testsupport {

struct BmpFile {
  std::int32_t width = 3, height = 2;  // a negative height stores the rows top-down
  std::uint16_t bits = 24;
  std::uint32_t headerSize = 40;
  std::uint16_t planes = 1;
  std::uint32_t compression = 0;
  std::uint32_t coloursUsed = 0;                // 8 bits: 0 means 256
  std::vector<std::uint32_t> palette;           // 0x00RRGGBB, written as given
  std::vector<std::uint32_t> pixels;            // rows top to bottom: 0x00RRGGBB, or indexes for 8 bits
  std::int64_t pixelOffsetDelta = 0;            // added to the true offset of the pixel data
  bool dropLastPadding = false;

  std::vector<unsigned char> Bytes() const {
    std::vector<unsigned char> b;
    auto u16 = [&](std::uint32_t v) {
      b.push_back(static_cast<unsigned char>(v));
      b.push_back(static_cast<unsigned char>(v >> 8));
    };
    auto u32 = [&](std::uint32_t v) {
      u16(v & 0xFFFF);
      u16(v >> 16);
    };
    const std::int64_t w = width, h = height < 0 ? -std::int64_t{height} : height;
    const std::int64_t rowBytes = w * (bits / 8), stride = (rowBytes + 3) / 4 * 4;
    const std::uint32_t offset =
        static_cast<std::uint32_t>(14 + headerSize + palette.size() * 4 + pixelOffsetDelta);
    b.push_back('B');
    b.push_back('M');
    u32(0);  // file size: never trusted, so left 0
    u32(0);
    u32(offset);
    u32(headerSize);
    u32(static_cast<std::uint32_t>(width));
    u32(static_cast<std::uint32_t>(height));
    u16(planes);
    u16(bits);
    u32(compression);
    u32(0);
    u32(2835);
    u32(2835);
    u32(coloursUsed);
    u32(0);
    while (b.size() < 14 + headerSize) b.push_back(0);
    for (std::uint32_t c : palette) u32(c);  // B G R 0 in file order
    if (pixelOffsetDelta > 0) b.insert(b.end(), static_cast<std::size_t>(pixelOffsetDelta), 0xEE);
    if (pixelOffsetDelta < 0) b.resize(b.size() - static_cast<std::size_t>(-pixelOffsetDelta));
    for (std::int64_t r = 0; r < h; ++r) {
      const std::int64_t row = height < 0 ? r : h - 1 - r;  // file order
      for (std::int64_t x = 0; x < w; ++x) {
        const std::size_t i = static_cast<std::size_t>(row * w + x);
        const std::uint32_t p = i < pixels.size() ? pixels[i] : 0;
        if (bits == 8) {
          b.push_back(static_cast<unsigned char>(p));
        } else {
          b.push_back(static_cast<unsigned char>(p));
          b.push_back(static_cast<unsigned char>(p >> 8));
          b.push_back(static_cast<unsigned char>(p >> 16));
        }
      }
      if (!(dropLastPadding && r == h - 1))
        for (std::int64_t pad = rowBytes; pad < stride; ++pad) b.push_back(0);
    }
    return b;
  }
};

// A picture with distinct colours everywhere, `width` × `height`, 24 bits.
inline BmpFile Gradient(std::int32_t width, std::int32_t height) {
  BmpFile f;
  f.width = width;
  f.height = height;
  for (std::int32_t y = 0; y < height; ++y)
    for (std::int32_t x = 0; x < width; ++x)
      f.pixels.push_back(static_cast<std::uint32_t>((x * 7 & 0xFF) << 16 | (y * 11 & 0xFF) << 8 | ((x + y) & 0xFF)));
  return f;
}

}  // namespace testsupport
