#pragma once
// TKss, the display engine: owns the full-screen display and its flipping chain, drives the
// frames from its timer, restores lost surfaces, applies brightness through the gamma ramp and
// carries the settings store.
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

#include "platform/ddraw/DDraw.h"
#include "platform/vcl/Forms.h"

namespace engine {

using vcl::TNotifyEvent;

class TKss : public vcl::TPanel {
 public:
  explicit TKss(vcl::TComponent* AOwner);
  ~TKss() override;
  const char* ClassName() const override { return "TKss"; }

  // --- display (engine component) ---
  bool Enabled() const { return FEnabled; }
  virtual void SetEnabled(bool Value);
  void OpenDirectDraw();
  void CloseDirectDraw();
  ddraw::HRESULT EnumerateScreens();
  void SetErrorResult(const std::string& Value);
  std::string GetErrorResult() const;
  void AppActivate(vcl::TObject* Sender);
  void AppDeactivate(vcl::TObject* Sender);
  void FullExit();

  std::int32_t WidthScreen() const { return FWidthScreen; }
  std::int32_t HeightScreen() const { return FHeightScreen; }
  void SetWidthScreen(std::int32_t Value);
  void SetHeightScreen(std::int32_t Value);
  std::int32_t ColorDepth() const { return FColorDepth; }
  void SetColorDepth(std::int32_t Value) { FColorDepth = Value; }
  bool DualMonitor() const { return FDualMonitor; }
  void SetDualMonitor(bool Value) { FDualMonitor = Value; }
  bool DefineFormHandle() const { return FDefineFormHandle; }
  void SetFormHandle(bool Value) { FDefineFormHandle = Value; }
  vcl::TForm* DDForm() const { return FDDForm; }
  void SetParentForm(vcl::TForm* Value) { FDDForm = Value; }

  TNotifyEvent OnError;
  TNotifyEvent OnGameLoop;
  TNotifyEvent OnTimer;

  // --- frame timer and frame cycle ---
  bool TimerEnabled() const { return FTimerEnabled; }
  void SetTimerEnabled(bool Value);
  std::int32_t TimerDelay() const { return GetInterval(); }
  std::int32_t GetInterval() const { return FTimerDelay; }
  void SetInterval(std::int32_t Value);
  bool UseIdle() const { return FUseIdle; }
  void SetUseIdle(bool Value) { FUseIdle = Value; }
  void StopIdle(bool Value);
  void GameLoop(vcl::TObject* Sender, bool& Done);
  void TimerTick();
  void ClearBackSurface();
  void ClearAllSurface();
  void FlipSurfaces();
  void IsLostRestore();
  void FuncShowFPS();
  void FuncShowTST(const std::string& Text, int X, int Y);
  bool BigTick() const { return FBigTick; }

  bool ShowFPS() const { return FShowFPS; }
  void SetshowFPS(bool Value) { FShowFPS = Value; }
  bool ShowTestString() const { return FShowTestString; }
  bool ShowTestString2() const { return FShowTestString2; }
  bool ShowTestString3() const { return FShowTestString3; }
  void SetShowTestString(bool Value) { FShowTestString = Value; }
  void SetShowTestString2(bool Value) { FShowTestString2 = Value; }
  void SetShowTestString3(bool Value) { FShowTestString3 = Value; }
  const std::string& TestString() const { return FTestString; }
  const std::string& TestString2() const { return FTestString2; }
  const std::string& TestString3() const { return FTestString3; }
  void SetTestString(const std::string& Value);
  void SetTestString2(const std::string& Value);
  void SetTestString3(const std::string& Value);

  // --- gamma brightness ---
  void SetBrightnessEnabled(bool Value);
  void SetRGB(std::int32_t Value);
  void SetLinearRGB(std::int32_t Red, std::int32_t Green, std::int32_t Blue);
  std::int32_t GetRGB() const { return FBrightness; }
  std::int32_t Brightness() const { return GetRGB(); }

  // --- settings store ---
  const std::string& BrandName() const { return FBrandName; }
  const std::string& SSName() const { return FSSName; }
  void SetBrandName(const std::string& Value) { FBrandName = Value; }
  void SetSSName(const std::string& Value) { FSSName = Value; }
  bool ReadRKey(const std::string& Name, std::int32_t& Value);
  bool WriteRKey(const std::string& Name, std::int32_t Value);
  bool ReadAKey(const std::string& Name, std::string& Value);
  bool WriteAKey(const std::string& Name, const std::string& Value);
  void SetRegistry();
  std::string GetTDegree() const { return FTDegree; }
  std::string GetWeatherCode() const { return FWeatherCode; }
  std::string GetRSS_Url() const { return FRSS_Url; }
  std::string GetProxy() const { return FProxy; }
  std::string GetPort() const { return FPort; }
  std::int32_t GetShowTime() const { return FShowTime; }
  std::int32_t GetShowWeather() const { return FShowWeather; }
  std::int32_t GetShowNews() const { return FShowNews; }
  std::int32_t GetShowBlack() const { return FShowBlack; }
  std::int32_t GetUseProxy() const { return FUseProxy; }
  std::int32_t SoundVolume() const { return FSoundVolume; }
  void SetVolume(std::int32_t Value) { FSoundVolume = Value; }
  bool SetMasterMixVolume(std::uint32_t Level);

  // What the sprites read from their parent engine.
  ddraw::IDirectDraw* FDD = nullptr;
  ddraw::IDirectDrawSurface* FDDPRIM = nullptr;
  ddraw::IDirectDrawSurface* FDDBACK = nullptr;

 private:
  void Report(const std::string& Text, bool CloseFirst);
  void HookIdle();
  void UnhookIdle();
  void HookActivation();
  void UnhookAll();
  static void TimerCallback(std::uint32_t, std::uint32_t, std::uintptr_t user, std::uintptr_t, std::uintptr_t);
  static int EnumerateCallback(ddraw::GUID* guid, const char* description, const char* name, void* context,
                               void* monitor);
  // The sprites on the owner form: release their surfaces (closing) or refill them (after a loss).
  void ReleaseSprites();
  void RefillSprites();
  void WriteRamp(std::int32_t Red, std::int32_t Green, std::int32_t Blue);
  void SetText(std::string& Field, const std::string& Value);

  vcl::TForm* FOwnerForm = nullptr;
  bool FEnabled = false;
  std::atomic<bool> FActive{true};
  // Written on the main thread, read by the frame thread and the sprites while drawing.
  std::atomic<std::int32_t> FWidthScreen{800}, FHeightScreen{600};
  std::int32_t FColorDepth = 24;
  std::string FErrorResult;
  bool FDualMonitor = false, FDefineFormHandle = false;
  vcl::TForm* FDDForm = nullptr;

  std::atomic<bool> FTimerEnabled{false};
  std::atomic<std::int32_t> FTimerDelay{40};
  std::atomic<bool> FUseIdle{true};
  std::uint32_t FTimerID = 0;  // main thread only
  std::atomic<std::int32_t> FBigTickPeriod{500};
  std::int32_t FBigTickCount = 0;  // frame thread only
  std::atomic<bool> FBigTick{false};
  std::atomic<bool> FShowFPS{false};
  std::atomic<bool> FShowTestString{false}, FShowTestString2{false}, FShowTestString3{false};
  // The test strings are replaced on the main thread and drawn by the frame thread: both hold
  // FTextLock for the length of one assignment or one text draw.
  std::mutex FTextLock;
  std::string FTestString, FTestString2, FTestString3;

  ddraw::IDirectDrawGammaControl* FGammaControl = nullptr;
  bool FBrightnessEnabled = false;
  std::int32_t FBrightness = 256;

  std::string FBrandName, FSSName;
  std::int32_t FSoundVolume = 0;
  std::string FTDegree, FWeatherCode, FRSS_Url, FProxy, FPort;
  std::int32_t FShowTime = 0, FShowWeather = 0, FShowNews = 0, FShowBlack = 0, FUseProxy = 0;
};

// Process-wide values of the frame-rate overlay, shared by every engine.
extern std::atomic<std::int32_t> FpsFrameCount;
extern std::atomic<std::uint32_t> FpsLastTime;
extern std::atomic<std::int32_t> FpsRate;

}  // namespace engine
