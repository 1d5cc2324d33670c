#pragma once
// Pictures and drawing: decoded pictures of a known kind (JPEG, GIF, BMP), 32-bit bitmaps, canvases
// that copy and stretch pictures onto a device context, and the picture holder of a picture control.
//
// Every picture is decoded once, when it is loaded, into 32-bit pixels 0x00RRGGBB (the surfaces'
// format). Input is untrusted: a picture that cannot be decoded raises vcl::Exception
// "Cannot read picture '<name>': <reason>", and sizes are bounded before anything is allocated.
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/gdi/Gdi.h"
#include "platform/vcl/Classes.h"

namespace vcl {

struct TRect {
  std::int32_t Left = 0, Top = 0, Right = 0, Bottom = 0;
  std::int32_t Width() const { return Right - Left; }
  std::int32_t Height() const { return Bottom - Top; }
  friend bool operator==(const TRect&, const TRect&) = default;
};
constexpr TRect Rect(std::int32_t left, std::int32_t top, std::int32_t right, std::int32_t bottom) {
  return TRect{left, top, right, bottom};
}

// A read-only view of pixels 0x00RRGGBB, rows top to bottom, `Pitch` pixels apart.
struct TPixels {
  const std::uint32_t* Data = nullptr;
  std::int32_t Width = 0, Height = 0, Pitch = 0;
};

// Bounds on every decoded picture and bitmap: each side at most 65535 pixels, at most 64 Mpixel.
inline constexpr std::int32_t kMaxPictureSide = 65535;
inline constexpr std::int64_t kMaxPicturePixels = std::int64_t{64} * 1024 * 1024;
// True when a w × h picture is allowed (both sides positive and within the bounds above).
bool PictureSizeAllowed(std::int64_t width, std::int64_t height);

class TCanvas;

// A picture of some kind with a size and pixels.
class TGraphic : public TObject {
 public:
  const char* ClassName() const override { return "TGraphic"; }
  virtual std::int32_t Width() const = 0;
  virtual std::int32_t Height() const = 0;
  bool Empty() const { return Width() <= 0 || Height() <= 0; }
  // The pixels as drawn; valid until the picture changes.
  virtual TPixels Pixels() const = 0;
  // A copy of the same kind (decoded pixels are shared until one side writes).
  virtual std::unique_ptr<TGraphic> Clone() const = 0;
  // Replaces the picture with the one encoded in `data`; `name` names it in error messages.
  virtual void LoadFromData(std::span<const std::uint8_t> data, std::string_view name) = 0;
};

// A 32-bit bitmap in memory with a canvas. Copies share their pixels until one of them writes.
class TBitmap : public TGraphic {
 public:
  TBitmap();
  TBitmap(std::int32_t width, std::int32_t height);
  TBitmap(const TBitmap& other);
  TBitmap& operator=(const TBitmap& other);
  ~TBitmap() override;
  const char* ClassName() const override { return "TBitmap"; }

  std::int32_t Width() const override { return FWidth; }
  std::int32_t Height() const override { return FHeight; }
  // New size, all pixels black. A size outside the picture bounds raises vcl::Exception.
  void SetSize(std::int32_t width, std::int32_t height);
  void SetWidth(std::int32_t width) { SetSize(width, FHeight); }
  void SetHeight(std::int32_t height) { SetSize(FWidth, height); }
  // Takes `pixels` (width × height, rows top to bottom) as the bitmap's own.
  void SetPixels(std::int32_t width, std::int32_t height, std::vector<std::uint32_t> pixels);
  // Takes the size and pixels of any picture.
  void Assign(const TGraphic& source);

  TPixels Pixels() const override;
  const std::uint32_t* ScanLine(std::int32_t row) const;
  std::uint32_t* ScanLine(std::int32_t row);  // writable: the pixels become this bitmap's own
  // A canvas drawing into this bitmap's pixels.
  TCanvas* Canvas();

  std::unique_ptr<TGraphic> Clone() const override { return std::make_unique<TBitmap>(*this); }
  // Windows bitmap files (BM) of 8 bits per pixel (palette) and 24 bits per pixel, uncompressed
  // (decoded by DecodeBmp of platform/vcl/Bmp.h).
  void LoadFromData(std::span<const std::uint8_t> data, std::string_view name) override;

 private:
  friend class TCanvas;
  void MakeOwn();            // copy-on-write: unshares the pixels
  gdi::HDC WritableDC();     // the canvas's context over this bitmap's own pixels

  std::shared_ptr<std::vector<std::uint32_t>> FPixels;
  std::int32_t FWidth = 0, FHeight = 0;
  std::unique_ptr<TCanvas> FCanvas;
  gdi::DC FDC;
};

// A JPEG picture. It is decoded when loaded; DIBNeeded makes sure its device-independent bitmap is
// there (it always is once a picture has been loaded) and Bitmap gives it.
class TJPEGImage : public TGraphic {
 public:
  TJPEGImage() = default;
  TJPEGImage(const TJPEGImage& other) = default;
  TJPEGImage& operator=(const TJPEGImage& other) = default;
  const char* ClassName() const override { return "TJPEGImage"; }

  std::int32_t Width() const override { return FBitmap.Width(); }
  std::int32_t Height() const override { return FBitmap.Height(); }
  TPixels Pixels() const override { return FBitmap.Pixels(); }
  void Assign(const TJPEGImage& source) { *this = source; }
  void DIBNeeded() {}
  const TBitmap& Bitmap() const { return FBitmap; }

  std::unique_ptr<TGraphic> Clone() const override { return std::make_unique<TJPEGImage>(*this); }
  void LoadFromData(std::span<const std::uint8_t> data, std::string_view name) override;

 private:
  TBitmap FBitmap;
};

// A GIF picture: its first image on the logical screen, each index drawn in its palette colour
// (the transparent index included); screen pixels the image does not cover are black.
class TGIFImage : public TGraphic {
 public:
  TGIFImage() = default;
  TGIFImage(const TGIFImage& other) = default;
  TGIFImage& operator=(const TGIFImage& other) = default;
  const char* ClassName() const override { return "TGIFImage"; }

  std::int32_t Width() const override { return FBitmap.Width(); }
  std::int32_t Height() const override { return FBitmap.Height(); }
  TPixels Pixels() const override { return FBitmap.Pixels(); }
  const TBitmap& Bitmap() const { return FBitmap; }

  std::unique_ptr<TGraphic> Clone() const override { return std::make_unique<TGIFImage>(*this); }
  void LoadFromData(std::span<const std::uint8_t> data, std::string_view name) override;

 private:
  TBitmap FBitmap;
};

enum class TPictureKind { Detect, Jpeg, Gif, Bmp };

// The kind a picture's first bytes announce (JPEG FF D8 FF, "GIF8", "BM"); Detect when none.
TPictureKind DetectPictureKind(std::span<const std::uint8_t> data);

// Holds one picture of any kind (or none).
class TPicture : public TObject {
 public:
  TPicture() = default;
  TPicture(const TPicture& other);
  TPicture& operator=(const TPicture& other);
  const char* ClassName() const override { return "TPicture"; }

  TGraphic* Graphic() const { return FGraphic.get(); }
  // Takes a copy of `graphic` (none empties the picture).
  void SetGraphic(const TGraphic* graphic);
  void Assign(const TPicture& source) { *this = source; }
  // The picture when it is a bitmap, else none.
  TBitmap* Bitmap() const;
  std::int32_t Width() const { return FGraphic ? FGraphic->Width() : 0; }
  std::int32_t Height() const { return FGraphic ? FGraphic->Height() : 0; }

  // Loads a picture of the given kind, or of the kind its signature announces. On failure raises
  // vcl::Exception "Cannot read picture '<name>': <reason>" and keeps the picture it had.
  void LoadFromData(std::span<const std::uint8_t> data, std::string_view name,
                    TPictureKind kind = TPictureKind::Detect);

 private:
  std::unique_ptr<TGraphic> FGraphic;
};

// Draws onto a device context: a surface's (Handle set from outside) or a bitmap's own.
class TCanvas {
 public:
  TCanvas() = default;
  TCanvas(const TCanvas&) = delete;
  TCanvas& operator=(const TCanvas&) = delete;

  gdi::HDC Handle();
  void SetHandle(gdi::HDC dc) { FHandle = dc; }

  // The picture at (x, y), unscaled, clipped to the context.
  void Draw(std::int32_t x, std::int32_t y, const TGraphic* graphic);
  // The picture scaled into `rect` (nearest pixel; an exact copy when the sizes are equal).
  void StretchDraw(const TRect& rect, const TGraphic* graphic);
  // `sourceRect` of another canvas (or picture) into `dest`, scaled as StretchDraw scales.
  void CopyRect(const TRect& dest, TCanvas* source, const TRect& sourceRect);
  void CopyRect(const TRect& dest, const TGraphic& source, const TRect& sourceRect);

 private:
  friend class TBitmap;
  explicit TCanvas(TBitmap* owner) : FBitmap(owner) {}
  TPixels SourcePixels();

  gdi::HDC FHandle = nullptr;
  TBitmap* FBitmap = nullptr;
};

// Copies `srcRect` of `src` into `dstRect` of `dst`, nearest pixel, clipped to both.
void StretchPixels(const TPixels& src, const TRect& srcRect, const gdi::Bits& dst, const TRect& dstRect);

namespace detail {
// The decoders behind LoadFromData: fill `out` or throw vcl::Exception carrying the reason only.
void DecodeJpeg(std::span<const std::uint8_t> data, TBitmap& out);
void DecodeGif(std::span<const std::uint8_t> data, TBitmap& out);
}  // namespace detail

}  // namespace vcl
