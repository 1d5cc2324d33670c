#include "platform/vcl/Graphics.h"

#include <algorithm>
#include <cstring>

#include "platform/vcl/Bmp.h"
#include "platform/vcl/SysUtils.h"

namespace vcl {

bool PictureSizeAllowed(std::int64_t width, std::int64_t height) {
  return width > 0 && height > 0 && width <= kMaxPictureSide && height <= kMaxPictureSide &&
         width * height <= kMaxPicturePixels;
}

// ---------------------------------------------------------------------------------------------
// TBitmap

TBitmap::TBitmap() = default;

TBitmap::TBitmap(std::int32_t width, std::int32_t height) { SetSize(width, height); }

TBitmap::TBitmap(const TBitmap& other) : TGraphic(), FPixels(other.FPixels), FWidth(other.FWidth), FHeight(other.FHeight) {}

TBitmap& TBitmap::operator=(const TBitmap& other) {
  if (this != &other) {
    FPixels = other.FPixels;
    FWidth = other.FWidth;
    FHeight = other.FHeight;
  }
  return *this;
}

TBitmap::~TBitmap() = default;

void TBitmap::SetSize(std::int32_t width, std::int32_t height) {
  if (width == 0 || height == 0) {
    if (width < 0 || height < 0) throw Exception("Invalid bitmap size");
    FPixels.reset();
    FWidth = width;
    FHeight = height;
    return;
  }
  if (!PictureSizeAllowed(width, height)) throw Exception("Invalid bitmap size");
  FPixels = std::make_shared<std::vector<std::uint32_t>>(static_cast<std::size_t>(width) * height, 0u);
  FWidth = width;
  FHeight = height;
}

void TBitmap::SetPixels(std::int32_t width, std::int32_t height, std::vector<std::uint32_t> pixels) {
  if (!PictureSizeAllowed(width, height) || pixels.size() != static_cast<std::size_t>(width) * height)
    throw Exception("Invalid bitmap size");
  FPixels = std::make_shared<std::vector<std::uint32_t>>(std::move(pixels));
  FWidth = width;
  FHeight = height;
}

void TBitmap::Assign(const TGraphic& source) {
  if (&source == this) return;
  // Decoded pictures hand over their bitmap, so the pixels are shared rather than copied.
  const TBitmap* bitmap = dynamic_cast<const TBitmap*>(&source);
  if (auto* jpeg = dynamic_cast<const TJPEGImage*>(&source)) bitmap = &jpeg->Bitmap();
  if (auto* gif = dynamic_cast<const TGIFImage*>(&source)) bitmap = &gif->Bitmap();
  if (bitmap) {
    *this = *bitmap;
    return;
  }
  TPixels p = source.Pixels();
  if (!p.Data || p.Width <= 0 || p.Height <= 0) {
    FPixels.reset();
    FWidth = FHeight = 0;
    return;
  }
  SetSize(p.Width, p.Height);
  for (std::int32_t y = 0; y < p.Height; ++y)
    std::memcpy(FPixels->data() + static_cast<std::size_t>(y) * p.Width,
                p.Data + static_cast<std::size_t>(y) * p.Pitch, static_cast<std::size_t>(p.Width) * 4);
}

TPixels TBitmap::Pixels() const {
  if (!FPixels) return {nullptr, 0, 0, 0};
  return {FPixels->data(), FWidth, FHeight, FWidth};
}

const std::uint32_t* TBitmap::ScanLine(std::int32_t row) const {
  if (!FPixels || row < 0 || row >= FHeight) throw Exception("Scan line index out of range");
  return FPixels->data() + static_cast<std::size_t>(row) * FWidth;
}

std::uint32_t* TBitmap::ScanLine(std::int32_t row) {
  if (!FPixels || row < 0 || row >= FHeight) throw Exception("Scan line index out of range");
  MakeOwn();
  return FPixels->data() + static_cast<std::size_t>(row) * FWidth;
}

void TBitmap::MakeOwn() {
  if (FPixels && FPixels.use_count() > 1) FPixels = std::make_shared<std::vector<std::uint32_t>>(*FPixels);
}

gdi::HDC TBitmap::WritableDC() {
  MakeOwn();
  FDC.bits = gdi::Bits{FPixels ? FPixels->data() : nullptr, FPixels ? FWidth : 0, FPixels ? FHeight : 0,
                       FPixels ? FWidth : 0};
  return &FDC;
}

TCanvas* TBitmap::Canvas() {
  if (!FCanvas) FCanvas.reset(new TCanvas(this));
  return FCanvas.get();
}

// ---------------------------------------------------------------------------------------------
// JPEG and GIF: decoded by their decoders; the error names the picture.

namespace {
template <typename Decode>
void LoadInto(TBitmap& target, std::span<const std::uint8_t> data, std::string_view name, Decode decode) {
  TBitmap decoded;
  try {
    decode(data, decoded);
  } catch (const Exception& e) {
    throw Exception("Cannot read picture '" + std::string(name) + "': " + e.what());
  } catch (const std::bad_alloc&) {
    throw Exception("Cannot read picture '" + std::string(name) + "': out of memory");
  }
  target = decoded;
}
}  // namespace

void TBitmap::LoadFromData(std::span<const std::uint8_t> data, std::string_view name) {
  DecodedImage image;
  try {
    image = DecodeBmp(data, name);  // its errors already name the picture
  } catch (const std::bad_alloc&) {
    throw Exception("Cannot read picture '" + std::string(name) + "': out of memory");
  }
  SetPixels(image.width, image.height, std::move(image.pixels));
}

void TJPEGImage::LoadFromData(std::span<const std::uint8_t> data, std::string_view name) {
  LoadInto(FBitmap, data, name, detail::DecodeJpeg);
}

void TGIFImage::LoadFromData(std::span<const std::uint8_t> data, std::string_view name) {
  LoadInto(FBitmap, data, name, detail::DecodeGif);
}

// ---------------------------------------------------------------------------------------------
// TPicture

TPictureKind DetectPictureKind(std::span<const std::uint8_t> data) {
  if (data.size() >= 3 && data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF) return TPictureKind::Jpeg;
  if (data.size() >= 4 && std::memcmp(data.data(), "GIF8", 4) == 0) return TPictureKind::Gif;
  if (data.size() >= 2 && data[0] == 'B' && data[1] == 'M') return TPictureKind::Bmp;
  return TPictureKind::Detect;
}

TPicture::TPicture(const TPicture& other) : TObject() {
  if (other.FGraphic) FGraphic = other.FGraphic->Clone();
}

TPicture& TPicture::operator=(const TPicture& other) {
  if (this != &other) FGraphic = other.FGraphic ? other.FGraphic->Clone() : nullptr;
  return *this;
}

void TPicture::SetGraphic(const TGraphic* graphic) {
  if (graphic == FGraphic.get()) return;
  FGraphic = graphic ? graphic->Clone() : nullptr;
}

TBitmap* TPicture::Bitmap() const { return dynamic_cast<TBitmap*>(FGraphic.get()); }

void TPicture::LoadFromData(std::span<const std::uint8_t> data, std::string_view name, TPictureKind kind) {
  if (kind == TPictureKind::Detect) kind = DetectPictureKind(data);
  std::unique_ptr<TGraphic> graphic;
  switch (kind) {
    case TPictureKind::Jpeg: graphic = std::make_unique<TJPEGImage>(); break;
    case TPictureKind::Gif: graphic = std::make_unique<TGIFImage>(); break;
    case TPictureKind::Bmp: graphic = std::make_unique<TBitmap>(); break;
    case TPictureKind::Detect:
      throw Exception("Cannot read picture '" + std::string(name) + "': unknown picture format");
  }
  graphic->LoadFromData(data, name);
  FGraphic = std::move(graphic);
}

// ---------------------------------------------------------------------------------------------
// Drawing

namespace {
// The source offset under the centre of destination offset `d` when `dn` pixels show `sn`
// (wide arithmetic: rectangles may span the whole 32-bit range).
std::int64_t Scale(std::int64_t d, std::int64_t sn, std::int64_t dn) {
  return static_cast<std::int64_t>((static_cast<__int128>(2 * d + 1) * sn) / (2 * static_cast<__int128>(dn)));
}
}  // namespace

void StretchPixels(const TPixels& src, const TRect& srcRect, const gdi::Bits& dst, const TRect& dstRect) {
  if (!src.Data || !dst.pixels) return;
  const std::int64_t sw = std::int64_t{srcRect.Right} - srcRect.Left, sh = std::int64_t{srcRect.Bottom} - srcRect.Top;
  const std::int64_t dw = std::int64_t{dstRect.Right} - dstRect.Left, dh = std::int64_t{dstRect.Bottom} - dstRect.Top;
  if (sw <= 0 || sh <= 0 || dw <= 0 || dh <= 0) return;
  // The destination pixels that lie on the context.
  const std::int64_t x0 = std::max<std::int64_t>(dstRect.Left, 0), x1 = std::min<std::int64_t>(dstRect.Right, dst.width);
  const std::int64_t y0 = std::max<std::int64_t>(dstRect.Top, 0), y1 = std::min<std::int64_t>(dstRect.Bottom, dst.height);
  if (x0 >= x1 || y0 >= y1) return;

  if (sw == dw && sh == dh) {
    // One to one: rows are copied as they are, clipped to the source as well.
    const std::int64_t dx = std::int64_t{srcRect.Left} - dstRect.Left, dy = std::int64_t{srcRect.Top} - dstRect.Top;
    const std::int64_t cx0 = std::max(x0, -dx), cx1 = std::min(x1, std::int64_t{src.Width} - dx);
    const std::int64_t cy0 = std::max(y0, -dy), cy1 = std::min(y1, std::int64_t{src.Height} - dy);
    if (cx0 >= cx1 || cy0 >= cy1) return;
    for (std::int64_t y = cy0; y < cy1; ++y)
      std::memmove(dst.pixels + y * dst.pitch + cx0, src.Data + (y + dy) * src.Pitch + (cx0 + dx),
                   static_cast<std::size_t>(cx1 - cx0) * 4);
    return;
  }

  // Nearest pixel: each destination pixel takes the source pixel under its centre.
  std::vector<std::int32_t> columns(static_cast<std::size_t>(x1 - x0));
  for (std::int64_t x = x0; x < x1; ++x) {
    std::int64_t sx = srcRect.Left + Scale(x - dstRect.Left, sw, dw);
    columns[static_cast<std::size_t>(x - x0)] = (sx >= 0 && sx < src.Width) ? static_cast<std::int32_t>(sx) : -1;
  }
  for (std::int64_t y = y0; y < y1; ++y) {
    std::int64_t sy = srcRect.Top + Scale(y - dstRect.Top, sh, dh);
    if (sy < 0 || sy >= src.Height) continue;
    const std::uint32_t* in = src.Data + sy * src.Pitch;
    std::uint32_t* out = dst.pixels + y * dst.pitch + x0;
    for (std::size_t i = 0; i < columns.size(); ++i)
      if (columns[i] >= 0) out[i] = in[columns[i]];
  }
}

gdi::HDC TCanvas::Handle() { return FBitmap ? FBitmap->WritableDC() : FHandle; }

TPixels TCanvas::SourcePixels() {
  if (FBitmap) return FBitmap->Pixels();
  if (!FHandle || !FHandle->bits.pixels) return {};
  const gdi::Bits& b = FHandle->bits;
  return {b.pixels, b.width, b.height, b.pitch};
}

void TCanvas::Draw(std::int32_t x, std::int32_t y, const TGraphic* graphic) {
  if (!graphic || graphic->Empty()) return;
  const std::int64_t right = std::int64_t{x} + graphic->Width(), bottom = std::int64_t{y} + graphic->Height();
  StretchDraw(Rect(x, y, static_cast<std::int32_t>(std::min<std::int64_t>(right, INT32_MAX)),
                   static_cast<std::int32_t>(std::min<std::int64_t>(bottom, INT32_MAX))),
              graphic);
}

void TCanvas::StretchDraw(const TRect& rect, const TGraphic* graphic) {
  if (!graphic || graphic->Empty()) return;
  CopyRect(rect, *graphic, Rect(0, 0, graphic->Width(), graphic->Height()));
}

void TCanvas::CopyRect(const TRect& dest, TCanvas* source, const TRect& sourceRect) {
  if (!source) return;
  TPixels src = source->SourcePixels();
  gdi::HDC dc = Handle();
  if (!dc) return;
  StretchPixels(src, sourceRect, dc->bits, dest);
}

void TCanvas::CopyRect(const TRect& dest, const TGraphic& source, const TRect& sourceRect) {
  gdi::HDC dc = Handle();
  if (!dc) return;
  StretchPixels(source.Pixels(), sourceRect, dc->bits, dest);
}

}  // namespace vcl
