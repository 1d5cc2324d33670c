#include "scene/Unit1.h"

#include <cstdlib>
#include <vector>

#include "platform/mm/MMSystem.h"
#include "platform/vcl/SysUtils.h"
#include "scene/BuiltInPictures.h"

namespace scene {

namespace {

// Where each flame stands in the 1024 × 768 design space, and its frame height.
struct FlamePlace {
  const char* asset;
  std::int32_t x, y, frameHeight;
};
constexpr std::array<FlamePlace, 9> kFlamePlaces{{
    {"KMV2flame1", 418, 252, 397},
    {"KMV2flame2", 433, 667, 101},
    {"KMV2flame3", 260, 307, 149},
    {"KMV2flame4", 612, 307, 149},
    {"KMV2flame5", 260, 456, 108},
    {"KMV2flame6", 718, 456, 108},
    {"KMV2flame7", 198, 598, 51},
    {"KMV2flame8", 183, 217, 49},
    {"KMV2flame9", 797, 218, 38},
}};

void LoadBuiltInPicture(BuiltInPictures& pictures, vcl::TImage& image, const char* asset) {
  *image.Picture() = pictures.Take(asset);
}

template <class Sprite>
Sprite* MakeSprite(vcl::TForm* form, engine::TKss* engine, const char* name) {
  auto* sprite = new Sprite(form);
  sprite->Name = name;
  sprite->SetParent(engine);
  return sprite;
}

}  // namespace

std::string ForecastAddress(const std::string& degree, const std::string& weatherCode) {
  return std::string(kForecastSite) + "/forecast/" + weatherCode + (degree == "c" ? "_c.html" : ".html");
}

bool IsWebAddress(const std::string& link) {
  const std::string upper = vcl::UpperCase(link.substr(0, 8));
  std::size_t scheme = 0;
  if (upper.rfind("HTTP://", 0) == 0) scheme = 7;
  else if (upper.rfind("HTTPS://", 0) == 0) scheme = 8;
  else return false;
  if (link.size() == scheme) return false;  // a scheme without a host
  for (unsigned char c : link)
    if (c <= 0x20 || c == 0x7F) return false;  // no blanks or control characters inside an address
  return true;
}

TForm1::TForm1(vcl::TComponent* AOwner) : TForm(AOwner) {
  Name = "Form1";
  SetBorderStyle(vcl::TBorderStyle::bsNone);
  Color = vcl::TColor::clBlack;
  Kss1 = new engine::TKss(this);
  Kss1->Name = "Kss1";
  Kss1->SetParent(this);
  Kss1->SetVolume(0);
  Kss1->OnTimer = [this](vcl::TObject* sender) { Kss1Timer(sender); };

  // The built-in pictures are decoded while the display opens (see FormCreate), so the screen
  // turns black at once and the hearth follows as soon as its surfaces are cut.
  KIM1 = MakeSprite<sprites::TKIM>(this, Kss1, "KIM1");
  KIM2GadgetPanel = MakeSprite<sprites::TKIM>(this, Kss1, "KIM2GadgetPanel");
  sprites::TKMV** flames[9] = {&KMV2flame1, &KMV2flame2, &KMV2flame3, &KMV2flame4, &KMV2flame5,
                               &KMV2flame6, &KMV2flame7, &KMV2flame8, &KMV2flame9};
  for (std::size_t i = 0; i < kFlamePlaces.size(); ++i)
    *flames[i] = MakeSprite<sprites::TKMV>(this, Kss1, kFlamePlaces[i].asset);

  OnKeyPress = [this](vcl::TObject* s, char& key) { FormKeyPress(s, key); };
  OnKeyDown = [this](vcl::TObject* s, std::uint16_t& key, vcl::TShiftState shift) { FormKeyDown(s, key, shift); };
  OnMouseMove = [this](vcl::TObject* s, vcl::TShiftState shift, int x, int y) { FormMouseMove(s, shift, x, y); };
}

TForm1::~TForm1() {
  // The frames must stop before the sprites they draw go away.
  if (!FExited) {
    Kss1->SetTimerEnabled(false);
    Kss1->SetEnabled(false);
  }
}

std::array<sprites::TKMV*, 9> TForm1::Flames() const {
  return {KMV2flame1, KMV2flame2, KMV2flame3, KMV2flame4, KMV2flame5,
          KMV2flame6, KMV2flame7, KMV2flame8, KMV2flame9};
}

void TForm1::InitImage(sprites::TKIM* Sprite, bool Stretching, std::int32_t X, std::int32_t Y, std::int32_t Width,
                       std::int32_t Height, bool Transparent) {
  Sprite->SetStretching(Stretching);
  Sprite->SetShowX(X);
  Sprite->SetShowY(Y);
  Sprite->SetOriginalWidth(Width);
  Sprite->SetOriginalHeight(Height);
  Sprite->CreateDXImage();
  Sprite->SetTransparency(Transparent);
}

void TForm1::InitMovie(sprites::TKMV* Sprite, bool Stretching, std::int32_t X, std::int32_t Y,
                       std::int32_t FrameHeight, bool StretchSize, std::int32_t StretchWidth,
                       std::int32_t StretchHeight, bool Transparent) {
  Sprite->SetStretching(Stretching);
  Sprite->SetShowX(X);
  Sprite->SetShowY(Y);
  Sprite->SetOriginalHeight(FrameHeight);
  if (StretchSize) {
    Sprite->SetStretchWidth(StretchWidth);
    Sprite->SetStretchHeight(StretchHeight);
  }
  const vcl::TGraphic* graphic = Sprite->Picture()->Graphic();
  if (graphic && std::string_view(graphic->ClassName()) == "TJPEGImage") {
    // A JPEG strip is cut from its device-independent bitmap.
    vcl::TJPEGImage jpeg(static_cast<const vcl::TJPEGImage&>(*graphic));
    jpeg.DIBNeeded();
    Sprite->SetFDibBitmap(&jpeg.Bitmap());
  }
  Sprite->CreateDXMovie();
  Sprite->SetTransparency(Transparent);
}

void TForm1::FormCreate(vcl::TObject*) {
  // Decoding runs beside the set-up, in the order the sprites take their pictures: while one
  // flame's frames are cut into surfaces, the next flame is being decoded.
  std::vector<std::string> names{"KIM1"};
  for (const FlamePlace& p : kFlamePlaces) names.emplace_back(p.asset);
  names.emplace_back("KIM2GadgetPanel");
  BuiltInPictures pictures(std::move(names));

  Kss1->SetBrandName("Korvane Software");
  Kss1->SetSSName("Sorvanta");
  Kss1->SetRegistry();
  LastMouseX = 0;
  LastMouseY = 0;
  Kss1->SetUseIdle(false);
  Kss1->SetWidthScreen(1024);
  Kss1->SetHeightScreen(768);
  Kss1->SetColorDepth(32);
  Kss1->SetInterval(40);
  Kss1->SetEnabled(true);
  mm::PrepareSoundA("SoundName");  // the crackle too, so that starting it is quick

  LoadBuiltInPicture(pictures, *KIM1, "KIM1");
  InitImage(KIM1, true, 0, 0, 1024, 768, false);
  const auto flames = Flames();
  for (std::size_t i = 0; i < flames.size(); ++i) {
    const FlamePlace& p = kFlamePlaces[i];
    LoadBuiltInPicture(pictures, *flames[i], p.asset);
    InitMovie(flames[i], true, p.x, p.y, p.frameHeight, false, 0, 0, false);
  }
  LoadBuiltInPicture(pictures, *KIM2GadgetPanel, "KIM2GadgetPanel");
  InitImage(KIM2GadgetPanel, true, 0, 698, 1024, 70, Kss1->GetShowBlack() == 0);

  FrameCounter = 0;
  Kss1->SetTimerEnabled(true);
  StartSound();
  if (vcl::HWND window = Handle()) window->SetCursorVisible(false);
}

void TForm1::Kss1Timer(vcl::TObject*) {
  if (++FrameCounter > 55) FrameCounter = 0;
  KIM1->DrawImage();
  for (sprites::TKMV* flame : Flames()) {
    flame->SetNumberFrame(FrameCounter);
    flame->DrawMovie();
  }
  if (Kss1->GetShowWeather() + Kss1->GetShowNews() + Kss1->GetShowTime() > 0) KIM2GadgetPanel->DrawImage();
}

void TForm1::StartSound() { mm::PlaySoundA("SoundName", mm::SND_RESOURCE | mm::SND_LOOP | mm::SND_ASYNC); }

void TForm1::StopSound() { mm::PlaySoundA(nullptr, mm::SND_PURGE); }

}  // namespace scene
