// Checks the hearth's shipped artwork and sound: formats and sizes, that the
// animated rectangles sit in the still picture without seams, that the flame
// loop and the crackle loop close without a jump, and that the gadget bar
// keeps its key colour where it means to.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <jpeglib.h>
#include <gif_lib.h>

namespace {

const std::string kDir = SORVANTA_ASSET_DIR;
constexpr int kWidth = 1024;
constexpr int kHeight = 768;
constexpr int kSteps = 56;

struct Rect {
  const char* file;
  int x, y, w, h;
};

const std::array<Rect, 9> kRects = {{
    {"KMV2flame1.jpg", 418, 252, 182, 397},
    {"KMV2flame2.jpg", 433, 667, 166, 101},
    {"KMV2flame3.jpg", 260, 307, 125, 149},
    {"KMV2flame4.jpg", 612, 307, 152, 149},
    {"KMV2flame5.jpg", 260, 456, 52, 108},
    {"KMV2flame6.jpg", 718, 456, 46, 108},
    {"KMV2flame7.jpg", 198, 598, 35, 51},
    {"KMV2flame8.jpg", 183, 217, 43, 49},
    {"KMV2flame9.jpg", 797, 218, 44, 38},
}};

std::vector<uint8_t> ReadFile(const std::string& name) {
  std::ifstream in(kDir + "/" + name, std::ios::binary);
  EXPECT_TRUE(in.good()) << name;
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

uint16_t U16(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }
int16_t S16(const uint8_t* p) { return int16_t(U16(p)); }
uint32_t U32(const uint8_t* p) { return uint32_t(U16(p)) | (uint32_t(U16(p + 2)) << 16); }

// ------------------------------------------------------------------ JPEG

struct Image {
  int w = 0, h = 0, components = 0;
  bool progressive = false;
  std::vector<uint8_t> rgb;
  const uint8_t* At(int x, int y) const { return &rgb[(size_t(y) * w + x) * 3]; }
};

Image DecodeJpeg(const std::string& name) {
  std::vector<uint8_t> data = ReadFile(name);
  Image img;
  if (data.empty()) return img;
  jpeg_decompress_struct cinfo{};
  jpeg_error_mgr jerr{};
  cinfo.err = jpeg_std_error(&jerr);
  jpeg_create_decompress(&cinfo);
  jpeg_mem_src(&cinfo, data.data(), data.size());
  jpeg_read_header(&cinfo, TRUE);
  img.components = cinfo.num_components;
  img.progressive = cinfo.progressive_mode;
  cinfo.out_color_space = JCS_RGB;
  jpeg_start_decompress(&cinfo);
  img.w = int(cinfo.output_width);
  img.h = int(cinfo.output_height);
  img.rgb.resize(size_t(img.w) * img.h * 3);
  while (cinfo.output_scanline < cinfo.output_height) {
    JSAMPROW row = &img.rgb[size_t(cinfo.output_scanline) * img.w * 3];
    jpeg_read_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  return img;
}

double PixelDiff(const uint8_t* a, const uint8_t* b) {
  return (std::abs(a[0] - b[0]) + std::abs(a[1] - b[1]) + std::abs(a[2] - b[2])) / 3.0;
}

// The background and the nine strips, composed the way the show draws them.
class Hearth : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    background_ = new Image(DecodeJpeg("KIM1.jpg"));
    strips_ = new std::vector<Image>();
    for (const Rect& r : kRects) strips_->push_back(DecodeJpeg(r.file));
  }
  static void TearDownTestSuite() {
    delete background_;
    delete strips_;
  }
  static bool Loaded() {
    if (background_->w != kWidth || background_->h != kHeight) return false;
    for (size_t i = 0; i < kRects.size(); ++i)
      if ((*strips_)[i].w != kRects[i].w || (*strips_)[i].h != kRects[i].h * kSteps) return false;
    return true;
  }
  static Image Compose(int n) {
    Image frame = *background_;
    for (size_t i = 0; i < kRects.size(); ++i) {
      const Rect& r = kRects[i];
      const Image& s = (*strips_)[i];
      for (int y = 0; y < r.h; ++y)
        std::memcpy(&frame.rgb[(size_t(r.y + y) * kWidth + r.x) * 3], s.At(0, n * r.h + y), size_t(r.w) * 3);
    }
    return frame;
  }
  static Image* background_;
  static std::vector<Image>* strips_;
};
Image* Hearth::background_ = nullptr;
std::vector<Image>* Hearth::strips_ = nullptr;

TEST_F(Hearth, PicturesAreBaselineColourJpegsOfTheirLayoutSize) {
  EXPECT_EQ(background_->w, kWidth);
  EXPECT_EQ(background_->h, kHeight);
  EXPECT_EQ(background_->components, 3);
  EXPECT_FALSE(background_->progressive);
  for (size_t i = 0; i < kRects.size(); ++i) {
    const Image& s = (*strips_)[i];
    SCOPED_TRACE(kRects[i].file);
    EXPECT_EQ(s.w, kRects[i].w);
    EXPECT_EQ(s.h, kRects[i].h * kSteps);
    EXPECT_EQ(s.components, 3);
    EXPECT_FALSE(s.progressive);
  }
}

// Along each rectangle's border, the frame's edge pixel against the picture
// pixel just outside it, compared with the picture's own step at that place.
TEST_F(Hearth, FramesMeetTheBackgroundWithoutASeam) {
  ASSERT_TRUE(Loaded());
  for (size_t i = 0; i < kRects.size(); ++i) {
    const Rect& r = kRects[i];
    const Image& s = (*strips_)[i];
    const Image& bg = *background_;
    double own = 0, worst = 0;
    int count = 0;
    for (int n = 0; n < kSteps; ++n) {
      double seam = 0;
      double base = 0;
      count = 0;
      auto edge = [&](int fx, int fy, int ox, int oy) {
        if (ox < 0 || oy < 0 || ox >= kWidth || oy >= kHeight) return;
        seam += PixelDiff(s.At(fx, n * r.h + fy), bg.At(ox, oy));
        base += PixelDiff(bg.At(r.x + fx, r.y + fy), bg.At(ox, oy));
        ++count;
      };
      for (int x = 0; x < r.w; ++x) {
        edge(x, 0, r.x + x, r.y - 1);
        edge(x, r.h - 1, r.x + x, r.y + r.h);
      }
      for (int y = 0; y < r.h; ++y) {
        edge(0, y, r.x - 1, r.y + y);
        edge(r.w - 1, y, r.x + r.w, r.y + y);
      }
      worst = std::max(worst, seam / count);
      own = base / count;
    }
    std::printf("%s: worst border step %.2f, picture's own step there %.2f\n", r.file, worst, own);
    EXPECT_LE(worst, own * 1.25 + 1.5) << r.file;
  }
}

TEST_F(Hearth, LoopSeamIsAnOrdinaryStepAndEveryStepMoves) {
  ASSERT_TRUE(Loaded());
  std::vector<Image> frames;
  for (int n = 0; n < kSteps; ++n) frames.push_back(Compose(n));
  // mean absolute difference of consecutive frames, whole picture and main fire
  auto step = [&](int a, int b, const Rect& area) {
    double sum = 0;
    for (int y = area.y; y < area.y + area.h; ++y)
      for (int x = area.x; x < area.x + area.w; ++x) sum += PixelDiff(frames[a].At(x, y), frames[b].At(x, y));
    return sum / (double(area.w) * area.h);
  };
  const Rect whole{"", 0, 0, kWidth, kHeight};
  for (const Rect& area : {whole, kRects[0], kRects[1]}) {
    double lo = 1e9, hi = 0;
    for (int n = 0; n + 1 < kSteps; ++n) {
      const double d = step(n, n + 1, area);
      lo = std::min(lo, d);
      hi = std::max(hi, d);
    }
    const double seam = step(kSteps - 1, 0, area);
    std::printf("steps in %s: ordinary %.3f .. %.3f, loop seam %.3f\n", area.file[0] ? area.file : "picture", lo, hi,
                seam);
    const double tol = 0.05 * (hi - lo);
    EXPECT_GE(seam, lo - tol);
    EXPECT_LE(seam, hi + tol);
    EXPECT_GT(lo, 0.0) << "a step where nothing moves";
  }
  // the fire really moves: no step of the main fire is close to a still frame
  double fire_lo = 1e9;
  for (int n = 0; n < kSteps; ++n) fire_lo = std::min(fire_lo, step(n, (n + 1) % kSteps, kRects[0]));
  EXPECT_GT(fire_lo, 1.0);
}

// ------------------------------------------------------------------ GIF

TEST(GadgetPanel, IsADarkBarWithBlackOnlyWhereItIsCutOut) {
  int err = 0;
  GifFileType* gif = DGifOpenFileName((kDir + "/KIM2GadgetPanel.gif").c_str(), &err);
  ASSERT_NE(gif, nullptr) << GifErrorString(err);
  ASSERT_EQ(DGifSlurp(gif), GIF_OK);
  EXPECT_EQ(gif->SWidth, 1024);
  EXPECT_EQ(gif->SHeight, 70);
  ASSERT_GE(gif->ImageCount, 1);
  const SavedImage& im = gif->SavedImages[0];
  const ColorMapObject* map = im.ImageDesc.ColorMap ? im.ImageDesc.ColorMap : gif->SColorMap;
  ASSERT_NE(map, nullptr);
  ASSERT_EQ(im.ImageDesc.Width, 1024);
  ASSERT_EQ(im.ImageDesc.Height, 70);
  long key = 0, lit = 0;
  double luma = 0;
  std::vector<int> key_columns(1024, 0);
  for (int y = 0; y < 70; ++y)
    for (int x = 0; x < 1024; ++x) {
      const GifColorType c = map->Colors[im.RasterBits[y * 1024 + x]];
      if (c.Red == 0 && c.Green == 0 && c.Blue == 0) {
        ++key;
        ++key_columns[x];
      } else {
        ++lit;
        luma += 0.299 * c.Red + 0.587 * c.Green + 0.114 * c.Blue;
      }
    }
  DGifCloseFile(gif, &err);
  // cut-outs exist but the bar is nearly all board
  EXPECT_GT(key, 0);
  EXPECT_LT(double(key) / (key + lit), 0.02);
  // dark enough for white and grey text
  EXPECT_LT(luma / lit, 70.0);
  // the middle, where gadgets write, has no holes
  for (int x = 100; x < 924; ++x) ASSERT_EQ(key_columns[x], 0) << "column " << x;
}

// ------------------------------------------------------------------ BMP

TEST(Preview, IsAnUncompressed24BitBitmapOf154By116) {
  std::vector<uint8_t> b = ReadFile("PREVIEWBMP.bmp");
  ASSERT_GE(b.size(), 54u);
  EXPECT_EQ(b[0], 'B');
  EXPECT_EQ(b[1], 'M');
  EXPECT_EQ(U32(&b[14]), 40u);  // BITMAPINFOHEADER
  EXPECT_EQ(int32_t(U32(&b[18])), 154);
  EXPECT_EQ(std::abs(int32_t(U32(&b[22]))), 116);
  EXPECT_EQ(U16(&b[26]), 1);
  EXPECT_EQ(U16(&b[28]), 24);
  EXPECT_EQ(U32(&b[30]), 0u);  // BI_RGB
  const size_t row = (154 * 3 + 3) / 4 * 4;
  EXPECT_GE(b.size(), U32(&b[10]) + row * 116);
}

// ------------------------------------------------------------------ WAVE (MS-ADPCM)

struct Wave {
  uint16_t tag = 0, channels = 0, bits = 0, block_align = 0, samples_per_block = 0;
  uint32_t rate = 0, fact = 0;
  std::vector<std::array<int16_t, 2>> coef;
  std::vector<uint8_t> data;
};

Wave ParseWave(const std::vector<uint8_t>& f) {
  Wave w;
  if (f.size() < 12 || std::memcmp(&f[0], "RIFF", 4) || std::memcmp(&f[8], "WAVE", 4)) return w;
  for (size_t p = 12; p + 8 <= f.size();) {
    const uint32_t n = U32(&f[p + 4]);
    const uint8_t* c = &f[p + 8];
    if (p + 8 + n > f.size()) break;
    if (!std::memcmp(&f[p], "fmt ", 4) && n >= 16) {
      w.tag = U16(c);
      w.channels = U16(c + 2);
      w.rate = U32(c + 4);
      w.block_align = U16(c + 12);
      w.bits = U16(c + 14);
      if (n >= 22) w.samples_per_block = U16(c + 18);
      if (n >= 22 + 2) {
        const int ncoef = U16(c + 20);
        for (int i = 0; i < ncoef && 22 + 4 * i + 4 <= int(n); ++i)
          w.coef.push_back({S16(c + 22 + 4 * i), S16(c + 24 + 4 * i)});
      }
    } else if (!std::memcmp(&f[p], "fact", 4) && n >= 4) {
      w.fact = U32(c);
    } else if (!std::memcmp(&f[p], "data", 4)) {
      w.data.assign(c, c + n);
    }
    p += 8 + n + (n & 1);
  }
  return w;
}

// Decodes MS-ADPCM into interleaved 16-bit samples (frames * channels).
std::vector<int16_t> DecodeMsAdpcm(const Wave& w) {
  static const int kAdapt[16] = {230, 230, 230, 230, 307, 409, 512, 614, 768, 614, 512, 409, 307, 230, 230, 230};
  std::vector<std::array<int16_t, 2>> coef = w.coef;
  if (coef.empty()) coef = {{{256, 0}}, {{512, -256}}, {{0, 0}}, {{192, 64}}, {{240, 0}}, {{460, -208}}, {{392, -232}}};
  const int ch = w.channels;
  std::vector<int16_t> out;
  if (ch < 1 || ch > 2 || w.block_align < 7 * ch) return out;
  for (size_t b = 0; b + 7 * ch <= w.data.size(); b += w.block_align) {
    const uint8_t* p = &w.data[b];
    const size_t len = std::min<size_t>(w.block_align, w.data.size() - b);
    int pred[2], delta[2], s1[2], s2[2];
    for (int c = 0; c < ch; ++c) pred[c] = std::min<int>(p[c], int(coef.size()) - 1);
    for (int c = 0; c < ch; ++c) delta[c] = S16(p + ch + 2 * c);
    for (int c = 0; c < ch; ++c) s1[c] = S16(p + 3 * ch + 2 * c);
    for (int c = 0; c < ch; ++c) s2[c] = S16(p + 5 * ch + 2 * c);
    for (int c = 0; c < ch; ++c) out.push_back(int16_t(s2[c]));
    for (int c = 0; c < ch; ++c) out.push_back(int16_t(s1[c]));
    int c = 0;
    for (size_t i = 7 * ch; i < len; ++i) {
      for (int nib : {p[i] >> 4, p[i] & 15}) {
        const int sn = nib >= 8 ? nib - 16 : nib;
        const int predicted = (s1[c] * coef[pred[c]][0] + s2[c] * coef[pred[c]][1]) >> 8;
        const int sample = std::clamp(predicted + sn * delta[c], -32768, 32767);
        s2[c] = s1[c];
        s1[c] = sample;
        delta[c] = std::max(16, (kAdapt[nib] * delta[c]) >> 8);
        out.push_back(int16_t(sample));
        c = (c + 1) % ch;
      }
    }
  }
  if (w.fact && out.size() > size_t(w.fact) * ch) out.resize(size_t(w.fact) * ch);
  return out;
}

TEST(Crackle, IsALoopingStereoAdpcmRoarWithoutAJumpAtTheSeam) {
  const Wave w = ParseWave(ReadFile("SoundName.wav"));
  EXPECT_EQ(w.tag, 2);
  EXPECT_EQ(w.channels, 2);
  EXPECT_EQ(w.rate, 44100u);
  EXPECT_EQ(w.bits, 4);
  ASSERT_GT(w.samples_per_block, 2);
  ASSERT_EQ(w.channels, 2);
  ASSERT_FALSE(w.data.empty());
  // whole blocks only: the last block is not padded out with silence
  EXPECT_EQ(w.data.size() % w.block_align, 0u);
  const size_t blocks = w.data.size() / w.block_align;
  EXPECT_EQ(size_t(w.fact), blocks * w.samples_per_block);

  const std::vector<int16_t> s = DecodeMsAdpcm(w);
  const size_t frames = s.size() / 2;
  const double seconds = double(frames) / w.rate;
  std::printf("crackle: %zu frames, %.3f s\n", frames, seconds);
  EXPECT_NEAR(seconds, 21.2, 0.3);
  ASSERT_GT(frames, 1000u);

  for (int c = 0; c < 2; ++c) {
    std::vector<double> steps, levels;
    double sum2 = 0;
    for (size_t i = 0; i < frames; ++i) {
      const double x = s[2 * i + c];
      sum2 += x * x;
      levels.push_back(std::abs(x));
      if (i + 1 < frames) steps.push_back(std::abs(double(s[2 * (i + 1) + c]) - x));
    }
    const double rms = std::sqrt(sum2 / frames);
    auto quantile = [](std::vector<double>& v, double q) {
      auto it = v.begin() + std::ptrdiff_t(double(v.size() - 1) * q);
      std::nth_element(v.begin(), it, v.end());
      return *it;
    };
    const double p99 = quantile(steps, 0.99);
    const double median_step = quantile(steps, 0.5);
    const double median_level = quantile(levels, 0.5);
    const double seam = std::abs(double(s[c]) - double(s[2 * (frames - 1) + c]));
    std::printf("crackle channel %d: rms %.0f, seam step %.0f, 99th percentile step %.0f, median step/level %.2f\n",
                c, rms, seam, p99, median_step / median_level);
    EXPECT_GT(rms, 1000.0) << "silent";
    // mostly a low roar: typical sample steps are small against the typical
    // level (for white noise they are about as large)
    EXPECT_LT(median_step, 0.4 * median_level);
    EXPECT_LE(seam, p99);
  }
}

}  // namespace
