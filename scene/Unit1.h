#pragma once
// TForm1, the show's form: lays out and sets up the hearth, draws each frame, plays the crackle
// and ends the show on input.
#include <array>
#include <cstdint>
#include <string>

#include "engine/Kss.h"
#include "platform/vcl/Forms.h"
#include "sprites/KIM.h"
#include "sprites/KMV.h"

namespace scene {

// Where F3 sends the user: the forecast pages live under this site.
inline constexpr const char* kForecastSite = "http://weather.yahoo.com";

// The forecast page of a place: "/forecast/" + code + "_c.html" for Celsius, ".html" otherwise.
std::string ForecastAddress(const std::string& degree, const std::string& weatherCode);

// True for an address the browser may be handed: an http:// or https:// address, nothing else.
bool IsWebAddress(const std::string& link);

class TForm1 : public vcl::TForm {
 public:
  explicit TForm1(vcl::TComponent* AOwner);
  ~TForm1() override;
  const char* ClassName() const override { return "TForm1"; }

  // The form's components, all owned by the form; the sprites are child controls of Kss1.
  engine::TKss* Kss1;
  sprites::TKIM* KIM1;
  sprites::TKIM* KIM2GadgetPanel;
  sprites::TKMV* KMV2flame1;
  sprites::TKMV* KMV2flame2;
  sprites::TKMV* KMV2flame3;
  sprites::TKMV* KMV2flame4;
  sprites::TKMV* KMV2flame5;
  sprites::TKMV* KMV2flame6;
  sprites::TKMV* KMV2flame7;
  sprites::TKMV* KMV2flame8;
  sprites::TKMV* KMV2flame9;

  void FormCreate(vcl::TObject* Sender);
  void Kss1Timer(vcl::TObject* Sender);
  void FormKeyPress(vcl::TObject* Sender, char& Key);
  void FormKeyDown(vcl::TObject* Sender, std::uint16_t& Key, vcl::TShiftState Shift);
  void FormMouseMove(vcl::TObject* Sender, vcl::TShiftState Shift, int X, int Y);
  void ExitSaver();

  void InitImage(sprites::TKIM* Sprite, bool Stretching, std::int32_t X, std::int32_t Y, std::int32_t Width,
                 std::int32_t Height, bool Transparent);
  void InitMovie(sprites::TKMV* Sprite, bool Stretching, std::int32_t X, std::int32_t Y, std::int32_t FrameHeight,
                 bool StretchSize, std::int32_t StretchWidth, std::int32_t StretchHeight, bool Transparent);
  void StartSound();
  void StopSound();

  // What the tests look at.
  std::int32_t GetFrameCounter() const { return FrameCounter; }
  std::int32_t GetLastMouseX() const { return LastMouseX; }
  std::int32_t GetLastMouseY() const { return LastMouseY; }
  const std::string& GetNewsLink() const { return NewsLink; }
  void SetNewsLink(const std::string& link) { NewsLink = link; }
  bool Exited() const { return FExited; }

 private:
  std::array<sprites::TKMV*, 9> Flames() const;

  std::int32_t FrameCounter = 0;
  std::int32_t LastMouseX = 0;
  std::int32_t LastMouseY = 0;
  std::string NewsLink;
  bool FExited = false;
};

}  // namespace scene
