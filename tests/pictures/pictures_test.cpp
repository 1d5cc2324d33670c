// Pictures of the class-library stand-in: decoding JPEG, GIF and BMP from memory, bad input, the
// bitmap and its canvas.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "Encoders.h"
#include "assets/Assets.h"
#include "platform/vcl/ExtCtrls.h"
#include "platform/vcl/Graphics.h"
#include "platform/vcl/SysUtils.h"

namespace pictures_test {
namespace {

using namespace vcl;

std::uint32_t At(const TGraphic& g, int x, int y) {
  const TPixels p = g.Pixels();
  return p.Data[static_cast<std::size_t>(y) * p.Pitch + x];
}

int Channel(std::uint32_t p, int shift) { return static_cast<int>((p >> shift) & 0xFF); }

// Flat 8 × 8 blocks of colour survive JPEG almost unchanged.
std::uint32_t Blocks(int x, int y) {
  static constexpr std::uint32_t kColors[] = {0xC02020, 0x20C020, 0x2020C0, 0xE0E0E0, 0x101010, 0x808000};
  return kColors[static_cast<std::size_t>((x / 8 + 2 * (y / 8)) % 6)];
}

void ExpectNear(std::uint32_t got, std::uint32_t want, int tolerance, const std::string& where) {
  EXPECT_EQ(got >> 24, 0u) << where;
  for (int shift : {0, 8, 16})
    EXPECT_NEAR(Channel(got, shift), Channel(want, shift), tolerance) << where << std::hex << " got " << got;
}

// --- JPEG ---------------------------------------------------------------------------------------

TEST(Jpeg, DecodesColourGreyAndProgressivePictures) {
  struct Row {
    const char* name;
    JpegOptions options;
  } rows[] = {{"baseline", {}}, {"progressive", {95, true, false}}, {"grey", {95, false, true}}};
  for (const Row& r : rows) {
    PixelFn fn = r.options.gray ? PixelFn([](int x, int y) { return (Blocks(x, y) & 0xFF) * 0x010101u; }) : PixelFn(Blocks);
    const Bytes data = EncodeJpeg(48, 24, fn, r.options);
    TPicture picture;
    picture.LoadFromData(data, r.name);
    ASSERT_NE(picture.Graphic(), nullptr);
    EXPECT_STREQ(picture.Graphic()->ClassName(), "TJPEGImage");
    EXPECT_EQ(picture.Width(), 48);
    EXPECT_EQ(picture.Height(), 24);
    for (int y = 3; y < 24; y += 8)
      for (int x = 3; x < 48; x += 8) ExpectNear(At(*picture.Graphic(), x, y), fn(x, y), 10, r.name);
  }
}

TEST(Jpeg, CopyDecodesIntoTheSameDeviceIndependentBitmap) {
  const Bytes data = EncodeJpeg(40, 16, Blocks);
  TPicture picture;
  picture.LoadFromData(data, "strip");
  TJPEGImage copy;
  copy.Assign(*static_cast<TJPEGImage*>(picture.Graphic()));
  copy.DIBNeeded();
  const TBitmap& dib = copy.Bitmap();
  EXPECT_STREQ(dib.ClassName(), "TBitmap");
  ASSERT_EQ(dib.Width(), 40);
  ASSERT_EQ(dib.Height(), 16);
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 40; ++x) ASSERT_EQ(dib.ScanLine(y)[x], At(*picture.Graphic(), x, y));
  // Copies share the decoded pixels instead of copying them.
  TBitmap assigned;
  assigned.Assign(*picture.Graphic());
  EXPECT_EQ(assigned.Pixels().Data, dib.Pixels().Data);
}

// The size check comes before anything of that size is allocated.
TEST(Jpeg, HugeDeclaredSizeIsRefused) {
  Bytes data = EncodeJpeg(16, 16, Blocks);
  // The frame header (FF C0): length, precision, then height and width.
  std::size_t at = 0;
  for (std::size_t i = 0; i + 1 < data.size(); ++i)
    if (data[i] == 0xFF && data[i + 1] == 0xC0) {
      at = i;
      break;
    }
  ASSERT_NE(at, 0u);
  for (std::size_t k : {at + 5, at + 7}) {
    data[k] = 0xFF;
    data[k + 1] = 0x00;  // 65280 × 65280
  }
  TJPEGImage jpeg;
  try {
    jpeg.LoadFromData(data, "huge");
    FAIL() << "decoded";
  } catch (const Exception& e) {
    EXPECT_EQ(std::string(e.what()), "Cannot read picture 'huge': picture too large");
  }
  EXPECT_TRUE(jpeg.Empty());

  // A GIF whose logical screen claims 65535 × 65535.
  Bytes gif = EncodeGif(4, 4, {0x000000, 0xFFFFFF}, GifFrame{0, 0, 4, 4, false, std::vector<std::uint8_t>(16, 1)});
  for (std::size_t k = 6; k < 10; ++k) gif[k] = 0xFF;
  TGIFImage image;
  try {
    image.LoadFromData(gif, "huge");
    FAIL() << "decoded";
  } catch (const Exception& e) {
    EXPECT_EQ(std::string(e.what()), "Cannot read picture 'huge': invalid GIF picture size");
  }
}

// --- GIF ----------------------------------------------------------------------------------------

const std::vector<std::uint32_t> kPalette = {0x000000, 0xFF0000, 0x00FF00, 0x0000FF};

GifFrame Frame(int left, int top, int width, int height, bool interlace = false) {
  GifFrame f{left, top, width, height, interlace, {}};
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) f.indices.push_back(static_cast<std::uint8_t>((x + 2 * y) % 4));
  return f;
}

TEST(Gif, FirstImageWithItsPaletteAndTheTransparentIndexInItsColour) {
  struct Row {
    const char* name;
    GifFrame frame;
    int transparent;
  } rows[] = {{"plain", Frame(0, 0, 7, 11), -1},
              {"interlaced", Frame(0, 0, 7, 11, true), -1},
              {"transparent", Frame(0, 0, 7, 11), 2}};
  for (const Row& r : rows) {
    const Bytes data = EncodeGif(7, 11, kPalette, r.frame, r.transparent);
    TPicture picture;
    picture.LoadFromData(data, r.name);
    ASSERT_NE(picture.Graphic(), nullptr) << r.name;
    EXPECT_STREQ(picture.Graphic()->ClassName(), "TGIFImage");
    ASSERT_EQ(picture.Width(), 7);
    ASSERT_EQ(picture.Height(), 11);
    for (int y = 0; y < 11; ++y)
      for (int x = 0; x < 7; ++x) ASSERT_EQ(At(*picture.Graphic(), x, y), kPalette[(x + 2 * y) % 4]) << r.name;
  }
}

TEST(Gif, ScreenOutsideTheImageIsBlack) {
  const Bytes data = EncodeGif(10, 8, {0x000000, 0xFFFFFF}, GifFrame{3, 2, 4, 3, false, std::vector<std::uint8_t>(12, 1)});
  TGIFImage gif;
  gif.LoadFromData(data, "panel");
  ASSERT_EQ(gif.Width(), 10);
  ASSERT_EQ(gif.Height(), 8);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 10; ++x) {
      const bool inside = x >= 3 && x < 7 && y >= 2 && y < 5;
      EXPECT_EQ(At(gif, x, y), inside ? 0xFFFFFFu : 0u) << x << "," << y;
    }
}

// --- BMP ----------------------------------------------------------------------------------------

TEST(Bmp, EightAndTwentyFourBitsPerPixel) {
  const std::vector<std::uint32_t> palette = {0x000000, 0x102030, 0xFFEEDD};
  const Bytes eight = EncodeBmp(5, 3, 8, [](int x, int y) { return static_cast<std::uint32_t>((x + y) % 3); }, palette);
  const Bytes full = EncodeBmp(5, 3, 24, [](int x, int y) { return static_cast<std::uint32_t>(x * 0x10000 + y * 0x100 + 7); });
  TPicture a, b;
  a.LoadFromData(eight, "icons");
  b.LoadFromData(full, "colours", TPictureKind::Bmp);
  ASSERT_NE(a.Bitmap(), nullptr);
  EXPECT_STREQ(b.Graphic()->ClassName(), "TBitmap");
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 5; ++x) {
      EXPECT_EQ(a.Bitmap()->ScanLine(y)[x], palette[static_cast<std::size_t>((x + y) % 3)]);
      EXPECT_EQ(b.Bitmap()->ScanLine(y)[x], static_cast<std::uint32_t>(x * 0x10000 + y * 0x100 + 7));
    }
}

// --- kinds and errors -----------------------------------------------------------------------------

TEST(Picture, KindBySignatureOrAsToldAndClearErrors) {
  const Bytes jpeg = EncodeJpeg(8, 8, Blocks);
  EXPECT_EQ(DetectPictureKind(jpeg), TPictureKind::Jpeg);
  EXPECT_EQ(DetectPictureKind(EncodeGif(4, 4, kPalette, Frame(0, 0, 4, 4))), TPictureKind::Gif);
  EXPECT_EQ(DetectPictureKind(EncodeBmp(2, 2, 24, Blocks)), TPictureKind::Bmp);

  TPicture picture;
  picture.LoadFromData(jpeg, "kept");
  struct Row {
    Bytes data;
    TPictureKind kind;
    std::string message;
  } rows[] = {
      {{'x', 'y', 'z'}, TPictureKind::Detect, "Cannot read picture 'bad': unknown picture format"},
      {{}, TPictureKind::Detect, "Cannot read picture 'bad': unknown picture format"},
      {jpeg, TPictureKind::Gif, "Cannot read picture 'bad': not a GIF file"},
      {Bytes{0xFF, 0xD8}, TPictureKind::Jpeg, "Cannot read picture 'bad': not a JPEG file"},
  };
  for (const Row& r : rows) {
    try {
      picture.LoadFromData(r.data, "bad", r.kind);
      ADD_FAILURE() << r.message;
    } catch (const Exception& e) {
      EXPECT_EQ(std::string(e.what()), r.message);
    }
    // A failed load keeps the picture there was.
    ASSERT_NE(picture.Graphic(), nullptr);
    EXPECT_STREQ(picture.Graphic()->ClassName(), "TJPEGImage");
    EXPECT_EQ(picture.Width(), 8);
  }
}

// Every prefix and many single-byte changes of valid files: decoded whole or refused with the
// picture's name, never a crash or a read outside the data (run under AddressSanitizer too).
TEST(Picture, TruncatedAndCorruptedFilesAreRefusedCleanly) {
  struct Row {
    const char* name;
    Bytes data;
  } rows[] = {
      {"jpeg", EncodeJpeg(24, 16, Blocks)},
      {"progressive", EncodeJpeg(24, 16, Blocks, {90, true, false})},
      {"gif", EncodeGif(9, 7, kPalette, Frame(1, 1, 7, 5))},
      {"interlaced", EncodeGif(9, 7, kPalette, Frame(0, 0, 9, 7, true))},
      {"bmp8", EncodeBmp(9, 5, 8, [](int x, int) { return static_cast<std::uint32_t>(x % 4); }, kPalette)},
      {"bmp24", EncodeBmp(9, 5, 24, Blocks)},
  };
  const std::string prefixText = "Cannot read picture '";
  auto attempt = [&](const Bytes& data, const char* name, int& refused) {
    TPicture picture;
    try {
      picture.LoadFromData(data, name);
      ASSERT_NE(picture.Graphic(), nullptr);
      EXPECT_TRUE(PictureSizeAllowed(picture.Width(), picture.Height()));
      const TPixels p = picture.Graphic()->Pixels();
      std::uint64_t sum = 0;  // touches every pixel
      for (int y = 0; y < p.Height; ++y)
        for (int x = 0; x < p.Width; ++x) sum += p.Data[static_cast<std::size_t>(y) * p.Pitch + x];
      (void)sum;
    } catch (const Exception& e) {
      ++refused;
      EXPECT_EQ(std::string(e.what()).rfind(prefixText + name + "': ", 0), 0u) << e.what();
    }
  };
  for (const Row& r : rows) {
    int refused = 0;
    for (std::size_t n = 0; n < r.data.size(); ++n) attempt(Bytes(r.data.begin(), r.data.begin() + n), r.name, refused);
    EXPECT_GT(refused, static_cast<int>(r.data.size()) / 2) << r.name;
    std::srand(1234);
    for (int trial = 0; trial < 600; ++trial) {
      Bytes damaged = r.data;
      const int flips = 1 + trial % 3;
      for (int f = 0; f < flips; ++f) {
        const std::size_t at = static_cast<std::size_t>(std::rand()) % damaged.size();
        damaged[at] = static_cast<std::uint8_t>(damaged[at] ^ (1u << (std::rand() % 8)));
      }
      attempt(damaged, r.name, refused);
    }
  }
}

// The scene's own pictures load with the kind and the size the layout gives them.
TEST(Picture, BuiltInPicturesOfTheScene) {
  struct Row {
    const char* name;
    const char* kind;
    std::int32_t width, height;
  } rows[] = {
      {"KIM1", "TJPEGImage", 1024, 768},          {"KIM2GadgetPanel", "TGIFImage", 1024, 70},
      {"KMV2flame1", "TJPEGImage", 182, 397 * 56}, {"KMV2flame2", "TJPEGImage", 166, 101 * 56},
      {"KMV2flame3", "TJPEGImage", 125, 149 * 56}, {"KMV2flame4", "TJPEGImage", 152, 149 * 56},
      {"KMV2flame5", "TJPEGImage", 52, 108 * 56},  {"KMV2flame6", "TJPEGImage", 46, 108 * 56},
      {"KMV2flame7", "TJPEGImage", 35, 51 * 56},   {"KMV2flame8", "TJPEGImage", 43, 49 * 56},
      {"KMV2flame9", "TJPEGImage", 44, 38 * 56},
  };
  for (const Row& r : rows) {
    TPicture picture;
    picture.LoadFromData(assets::Find(r.name), r.name);
    ASSERT_NE(picture.Graphic(), nullptr) << r.name;
    EXPECT_STREQ(picture.Graphic()->ClassName(), r.kind) << r.name;
    EXPECT_EQ(picture.Width(), r.width) << r.name;
    EXPECT_EQ(picture.Height(), r.height) << r.name;
  }
}

// --- bitmaps and canvases -------------------------------------------------------------------------

TBitmap Numbered(int w, int h) {
  std::vector<std::uint32_t> px(static_cast<std::size_t>(w) * h);
  for (int i = 0; i < w * h; ++i) px[static_cast<std::size_t>(i)] = 0x100000u + static_cast<std::uint32_t>(i);
  TBitmap b;
  b.SetPixels(w, h, px);
  return b;
}

TEST(Canvas, StretchDrawIsExactOneToOneAndNearestWhenScaled) {
  TBitmap src = Numbered(4, 3);
  TBitmap same(4, 3);
  same.Canvas()->StretchDraw(Rect(0, 0, 4, 3), &src);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 4; ++x) EXPECT_EQ(same.ScanLine(y)[x], src.ScanLine(y)[x]);

  TBitmap twice(8, 6);
  twice.Canvas()->StretchDraw(Rect(0, 0, 8, 6), &src);
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 8; ++x) EXPECT_EQ(twice.ScanLine(y)[x], src.ScanLine(y / 2)[x / 2]);

  TBitmap half(2, 1);
  half.Canvas()->StretchDraw(Rect(0, 0, 2, 1), &src);  // centres at source x 1 and 3, row 1
  EXPECT_EQ(half.ScanLine(0)[0], src.ScanLine(1)[1]);
  EXPECT_EQ(half.ScanLine(0)[1], src.ScanLine(1)[3]);
}

TEST(Canvas, DrawAndCopyRectAreClippedToBothSides) {
  TBitmap src = Numbered(4, 4);
  TBitmap dst(3, 3);
  dst.Canvas()->Draw(-2, 1, &src);  // source columns 2, 3 at x 0, 1; rows 0, 1 at y 1, 2
  EXPECT_EQ(dst.ScanLine(0)[0], 0u);
  EXPECT_EQ(dst.ScanLine(1)[0], src.ScanLine(0)[2]);
  EXPECT_EQ(dst.ScanLine(2)[1], src.ScanLine(1)[3]);
  EXPECT_EQ(dst.ScanLine(1)[2], 0u);

  // A band of another bitmap's canvas, and a band reaching past its source, which leaves the rest.
  TBitmap band(4, 2);
  band.Canvas()->CopyRect(Rect(0, 0, 4, 2), src.Canvas(), Rect(0, 2, 4, 4));
  for (int x = 0; x < 4; ++x) EXPECT_EQ(band.ScanLine(1)[x], src.ScanLine(3)[x]);
  TBitmap past(4, 2);
  past.Canvas()->CopyRect(Rect(0, 0, 4, 2), src, Rect(0, 3, 4, 5));
  EXPECT_EQ(past.ScanLine(0)[1], src.ScanLine(3)[1]);
  EXPECT_EQ(past.ScanLine(1)[1], 0u);

  // Rectangles anywhere in the 32-bit range draw what lies on the target, or nothing.
  TBitmap far(2, 2);
  far.Canvas()->StretchDraw(Rect(-2147483647 - 1, -2147483647 - 1, 2147483647, 2147483647), &src);
  far.Canvas()->Draw(2147483600, 0, &src);
  far.Canvas()->CopyRect(Rect(0, 0, 2, 2), src, Rect(100, 100, 200, 200));
  SUCCEED();
}

TEST(Canvas, OntoADeviceContextOfForeignMemory) {
  std::vector<std::uint32_t> memory(6 * 4, 0xABCDEF);
  gdi::DC dc;
  dc.bits = gdi::Bits{memory.data(), 5, 4, 6};  // a pitch wider than the row
  TBitmap src = Numbered(3, 2);
  TCanvas canvas;
  canvas.SetHandle(&dc);
  canvas.Draw(1, 1, &src);
  EXPECT_EQ(memory[6 * 1 + 1], src.ScanLine(0)[0]);
  EXPECT_EQ(memory[6 * 2 + 3], src.ScanLine(1)[2]);
  EXPECT_EQ(memory[6 * 1 + 5], 0xABCDEFu);  // the pitch's spare column is not touched
  EXPECT_EQ(memory[0], 0xABCDEFu);
}

TEST(Bitmap, CopiesSharePixelsUntilOneWrites) {
  TBitmap a = Numbered(3, 3);
  TBitmap b = a;
  EXPECT_EQ(a.Pixels().Data, b.Pixels().Data);
  b.Canvas()->Draw(0, 0, &a);  // drawing makes b's pixels its own
  b.ScanLine(0)[0] = 7;
  EXPECT_NE(a.Pixels().Data, b.Pixels().Data);
  EXPECT_EQ(a.ScanLine(0)[0], 0x100000u);
  EXPECT_THROW(TBitmap(70000, 1), Exception);
  EXPECT_THROW(TBitmap(10000, 10000), Exception);
  EXPECT_THROW(a.ScanLine(3), Exception);
}

TEST(Image, HoldsACopyOfItsPicture) {
  TComponent owner(nullptr);
  auto* image = new TImage(&owner);
  EXPECT_STREQ(image->ClassName(), "TImage");
  EXPECT_EQ(image->Picture()->Graphic(), nullptr);
  TPicture picture;
  picture.LoadFromData(EncodeGif(4, 4, kPalette, Frame(0, 0, 4, 4)), "icon");
  image->SetPicture(picture);
  EXPECT_STREQ(image->Picture()->Graphic()->ClassName(), "TGIFImage");
  EXPECT_NE(image->Picture()->Graphic(), picture.Graphic());
  EXPECT_EQ(image->Picture()->Width(), 4);
}

}  // namespace
}  // namespace pictures_test
