// Bitmap files: 8 bits with a palette and 24 bits, both row orders, every header from 40 bytes up;
// anything truncated or corrupt is refused with a message naming the picture.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <random>

#include "platform/vcl/Bmp.h"
#include "platform/vcl/SysUtils.h"
#include "support/BmpFile.h"

namespace {

using testsupport::BmpFile;
using testing::HasSubstr;
using testing::StartsWith;

BmpFile EightBit() {
  BmpFile f;
  f.width = 5;  // rows of 5 bytes padded to 8
  f.height = 3;
  f.bits = 8;
  f.coloursUsed = 3;
  f.palette = {0x102030, 0xA0B0C0, 0xFF0080};
  f.pixels = {0, 1, 2, 1, 0, 2, 2, 1, 0, 0, 1, 1, 1, 2, 2};
  return f;
}

TEST(DecodeBmp, ReadsEveryLayout) {
  struct Case {
    const char* what;
    BmpFile file;
  };
  std::vector<Case> cases;
  cases.push_back({"24 bits, bottom-up, padded rows", testsupport::Gradient(3, 2)});
  BmpFile topDown = testsupport::Gradient(3, 2);
  topDown.height = -2;
  cases.push_back({"24 bits, top-down", topDown});
  cases.push_back({"8 bits with 3 palette colours", EightBit()});
  BmpFile full = EightBit();
  full.coloursUsed = 0;
  full.palette.resize(256, 0x777777);
  full.pixels[4] = 255;
  cases.push_back({"8 bits, 256 colours when none are counted", full});
  BmpFile v5 = testsupport::Gradient(4, 3);
  v5.headerSize = 124;
  cases.push_back({"the 124-byte header", v5});
  BmpFile gap = EightBit();
  gap.pixelOffsetDelta = 6;
  cases.push_back({"a gap before the pixel data", gap});
  BmpFile shortEnd = testsupport::Gradient(5, 2);
  shortEnd.dropLastPadding = true;
  cases.push_back({"the last row's padding missing", shortEnd});
  cases.push_back({"the size of the preview picture", testsupport::Gradient(154, 116)});

  for (const Case& c : cases) {
    const vcl::DecodedImage image = vcl::DecodeBmp(c.file.Bytes(), "T");
    const std::int32_t h = c.file.height < 0 ? -c.file.height : c.file.height;
    ASSERT_EQ(image.width, c.file.width) << c.what;
    ASSERT_EQ(image.height, h) << c.what;
    std::vector<std::uint32_t> expected = c.file.pixels;
    if (c.file.bits == 8)
      for (std::uint32_t& p : expected) p = c.file.palette.at(p);
    EXPECT_EQ(image.pixels, expected) << c.what;
  }
}

TEST(DecodeBmp, RefusesWhatItCannotRead) {
  struct Case {
    const char* reason;
    std::function<void(BmpFile&)> change;
    std::function<void(std::vector<unsigned char>&)> cut = nullptr;
  };
  auto none = [](BmpFile&) {};
  // Writes a 32-bit field of the headers, where a real file of that size would be too big to make.
  auto put = [](std::size_t at, std::uint32_t v) {
    return [=](std::vector<unsigned char>& b) {
      for (int i = 0; i < 4; ++i) b[at + static_cast<std::size_t>(i)] = static_cast<unsigned char>(v >> (8 * i));
    };
  };
  constexpr std::size_t kOffset = 10, kHeaderSize = 14, kWidth = 18, kHeight = 22;
  const Case cases[] = {
      {"there is no data", none, [](auto& b) { b.clear(); }},
      {"it is not a bitmap file", none, [](auto& b) { b[1] = 'X'; }},
      {"it is not a bitmap file", none, [](auto& b) { b.resize(1); }},
      {"the file header is truncated", none, [](auto& b) { b.resize(16); }},
      {"the info header of 12 bytes is not supported", [](BmpFile& f) { f.headerSize = 12; }},
      {"the info header is truncated", none, [](auto& b) { b.resize(50); }},
      {"the info header is truncated", none, put(kHeaderSize, 0xFFFFFFF0u)},
      {"the size 0 x 3 is invalid", [](BmpFile& f) { f.width = 0; }},
      {"the size -5 x 3 is invalid", none, put(kWidth, static_cast<std::uint32_t>(-5))},
      {"the size 5 x 0 is invalid", [](BmpFile& f) { f.height = 0; }},
      {"the size 5 x -2147483648 is too large", none, put(kHeight, 0x80000000u)},
      {"the size 65536 x 3 is too large", none, put(kWidth, 65536)},
      {"the size 65535 x 65535 is too large",
       none, [&](auto& b) { put(kWidth, 65535)(b), put(kHeight, 65535)(b); }},
      {"2 planes are not supported", [](BmpFile& f) { f.planes = 2; }},
      {"32 bits per pixel are not supported", [](BmpFile& f) { f.bits = 32; }},
      {"4 bits per pixel are not supported", [](BmpFile& f) { f.bits = 4; }},
      {"compressed bitmaps are not supported", [](BmpFile& f) { f.compression = 1; }},
      {"the palette of 257 colours is too large", [](BmpFile& f) { f.coloursUsed = 257; }},
      {"the palette is truncated", [](BmpFile& f) { f.coloursUsed = 0; }, [](auto& b) { b.resize(14 + 40 + 100); }},
      {"the pixel data overlaps the headers", [](BmpFile& f) { f.pixelOffsetDelta = -4; }},
      {"the pixel data is truncated", none, [](auto& b) { b.resize(b.size() - 4); }},
      {"the pixel data is truncated", none, put(kHeight, 30000)},
      {"the pixel data is truncated", none, put(kOffset, 0xFFFFFFFFu)},
      {"a pixel names colour 3 of a palette of 3", [](BmpFile& f) { f.pixels[7] = 3; }},
  };
  for (const Case& c : cases) {
    BmpFile f = EightBit();
    c.change(f);
    std::vector<unsigned char> bytes = f.Bytes();
    if (c.cut) c.cut(bytes);
    try {
      vcl::DecodeBmp(bytes, "PREVIEWBMP");
      ADD_FAILURE() << "decoded despite: " << c.reason;
    } catch (const vcl::Exception& e) {
      EXPECT_EQ(e.Message(), std::string("Cannot read picture 'PREVIEWBMP': ") + c.reason);
    }
  }
}

// Whatever the bytes, the decoder either gives a whole picture or refuses with its message.
void ExpectDecodedOrRefused(const std::vector<unsigned char>& bytes) {
  try {
    const vcl::DecodedImage image = vcl::DecodeBmp(bytes, "F");
    ASSERT_GT(image.width, 0);
    ASSERT_GT(image.height, 0);
    ASSERT_EQ(image.pixels.size(), static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height));
  } catch (const vcl::Exception& e) {
    ASSERT_THAT(e.Message(), StartsWith("Cannot read picture 'F': "));
  }
}

TEST(DecodeBmp, TruncatedAtEveryLength) {
  for (const BmpFile& file : {EightBit(), testsupport::Gradient(5, 3)}) {
    const std::vector<unsigned char> whole = file.Bytes();
    const std::size_t stride = (static_cast<std::size_t>(file.width) * (file.bits / 8) + 3) / 4 * 4;
    const std::size_t shortest = whole.size() - (stride - static_cast<std::size_t>(file.width) * (file.bits / 8));
    for (std::size_t n = 0; n < whole.size(); ++n) {
      const std::vector<unsigned char> part(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(n));
      if (n >= shortest) {
        EXPECT_NO_THROW(vcl::DecodeBmp(part, "F")) << n;  // only the last row's padding is missing
      } else {
        EXPECT_THROW(vcl::DecodeBmp(part, "F"), vcl::Exception) << "length " << n;
      }
    }
  }
}

TEST(DecodeBmp, RandomCorruptionNeverGoesWrong) {
  std::mt19937 random(20240611);
  for (const BmpFile& file : {EightBit(), testsupport::Gradient(7, 5)}) {
    const std::vector<unsigned char> whole = file.Bytes();
    for (int round = 0; round < 3000; ++round) {
      std::vector<unsigned char> bytes = whole;
      const int changes = 1 + static_cast<int>(random() % 6);
      for (int i = 0; i < changes; ++i) {
        // Mostly the headers, where the sizes and offsets are.
        const std::size_t at = random() % 3 ? random() % 58 : random() % bytes.size();
        bytes[at] = random() % 4 ? static_cast<unsigned char>(random()) : (random() % 2 ? 0xFF : 0x00);
      }
      if (random() % 4 == 0) bytes.resize(random() % bytes.size());
      ExpectDecodedOrRefused(bytes);
    }
  }
}

}  // namespace
