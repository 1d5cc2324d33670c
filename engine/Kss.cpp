// TKss: the component, opening and closing the display, the activation hooks and error reporting.
#include "engine/Kss.h"

#include "platform/ddraw/Backend.h"
#include "platform/mm/MMSystem.h"

namespace engine {

namespace {

// The device enumeration's process-wide state: how many devices were reported, and the
// identifier of the third (the second monitor's device) when one was reported.
int gDeviceCount = 0;
bool gDeviceKept = false;
ddraw::GUID gDeviceGuid;

// The application's event slots hold these, so that the engine can tell its own hooks from
// anyone else's and take only its own away.
struct IdleHook {
  TKss* engine;
  void operator()(vcl::TObject* Sender, bool& Done) const { engine->GameLoop(Sender, Done); }
};
struct ActivateHook {
  TKss* engine;
  void operator()(vcl::TObject* Sender) const { engine->AppActivate(Sender); }
};
struct DeactivateHook {
  TKss* engine;
  void operator()(vcl::TObject* Sender) const { engine->AppDeactivate(Sender); }
};

template <class Hook, class Slot>
bool HookedBy(const Slot& slot, const TKss* engine) {
  const Hook* hook = slot.template target<Hook>();
  return hook != nullptr && hook->engine == engine;
}

template <class T>
void ReleaseRef(T*& ref) {
  if (ref != nullptr) {
    ref->Release();
    ref = nullptr;
  }
}

}  // namespace

TKss::TKss(vcl::TComponent* AOwner) : vcl::TPanel(AOwner), FOwnerForm(dynamic_cast<vcl::TForm*>(AOwner)) {}

TKss::~TKss() {
  // The owner disables the engine before it goes. Should it not have, the timer thread and the
  // application's hooks must still not outlive the engine they call.
  SetTimerEnabled(false);
  if (FEnabled) {
    FEnabled = false;
    CloseDirectDraw();
  }
  UnhookAll();
}

void TKss::SetWidthScreen(std::int32_t Value) {
  FWidthScreen = Value;
  SetWidth(Value);
}

void TKss::SetHeightScreen(std::int32_t Value) {
  FHeightScreen = Value;
  SetHeight(Value);
}

void TKss::SetEnabled(bool Value) {
  if (Value == FEnabled) return;
  if (!Value) {
    FEnabled = false;
    CloseDirectDraw();
    return;
  }
  FEnabled = true;
  SetRegistry();
  OpenDirectDraw();
  ClearBackSurface();
  FlipSurfaces();
  // The dialog's fader stores 0 to 256, 256 being full brightness with the display's own ramp
  // left alone; any other level is written, so a dimmed setting takes effect.
  if (FBrightness != 256) SetRGB(FBrightness);
  SetMasterMixVolume(static_cast<std::uint32_t>(FSoundVolume));
}

void TKss::OpenDirectDraw() {
  if (FUseIdle) HookIdle();
  HookActivation();

  if (FOwnerForm != nullptr) {
    FOwnerForm->SetBorderStyle(vcl::TBorderStyle::bsNone);
    FOwnerForm->Color = vcl::TColor::clBlack;
  }
  Color = vcl::TColor::clBlack;
  Hide();

  if (FDualMonitor) {
    if (ddraw::MonitorCount() < 2) {
      Report("This program work only in dual monitor system!", false);
      return;
    }
    gDeviceCount = 0;
    gDeviceKept = false;
    gDeviceGuid = ddraw::GUID{};
    if (EnumerateScreens() == ddraw::E_FAIL) Report("ERROR EnumerateScreens", false);
    const ddraw::GUID kept = gDeviceGuid;
    if (ddraw::DirectDrawCreate(gDeviceKept ? &kept : nullptr, &FDD, nullptr) != ddraw::DD_OK || FDD == nullptr) {
      FDD = nullptr;
      Report("Error DirectDrawCreate on secondary monitor", true);
      return;
    }
  } else if (ddraw::DirectDrawCreate(nullptr, &FDD, nullptr) != ddraw::DD_OK || FDD == nullptr) {
    FDD = nullptr;
    Report("Error DirectDrawCreate", true);
    return;
  }

  if (!FDefineFormHandle || FDDForm == nullptr) FDDForm = FOwnerForm;
  vcl::HWND window = FDDForm != nullptr ? FDDForm->Handle() : nullptr;
  if (FDD->SetCooperativeLevel(window, ddraw::DDSCL_EXCLUSIVE | ddraw::DDSCL_FULLSCREEN) != ddraw::DD_OK) {
    Report("Error SetCooperativeLevel", true);
    return;
  }
  if (FDD->SetDisplayMode(static_cast<std::uint32_t>(FWidthScreen.load()),
                          static_cast<std::uint32_t>(FHeightScreen.load()),
                          static_cast<std::uint32_t>(FColorDepth)) != ddraw::DD_OK) {
    Report("Error SetDisplayMode", true);
    return;
  }

  ddraw::DDSURFACEDESC desc;
  desc.dwFlags = ddraw::DDSD_CAPS | ddraw::DDSD_BACKBUFFERCOUNT;
  desc.ddsCaps.dwCaps = ddraw::DDSCAPS_PRIMARYSURFACE | ddraw::DDSCAPS_FLIP | ddraw::DDSCAPS_COMPLEX;
  desc.dwBackBufferCount = 1;
  if (FDD->CreateSurface(&desc, &FDDPRIM, nullptr) != ddraw::DD_OK || FDDPRIM == nullptr) {
    FDDPRIM = nullptr;
    Report("Error CreatePrimarySurface", true);
    return;
  }

  ddraw::DDSCAPS caps;
  caps.dwCaps = ddraw::DDSCAPS_BACKBUFFER;
  if (FDDPRIM->GetAttachedSurface(&caps, &FDDBACK) != ddraw::DD_OK || FDDBACK == nullptr) {
    FDDBACK = nullptr;
    Report("Error CreateBackSurface", true);
  }
}

ddraw::HRESULT TKss::EnumerateScreens() {
  ddraw::DirectDrawEnumerateExAFunc enumerate = ddraw::LoadEnumerateEx("ddraw.dll");
  if (enumerate == nullptr) return ddraw::E_FAIL;
  return enumerate(&TKss::EnumerateCallback, this, ddraw::DDENUM_ATTACHEDSECONDARYDEVICES);
}

int TKss::EnumerateCallback(ddraw::GUID* guid, const char*, const char*, void*, void*) {
  ++gDeviceCount;
  if (gDeviceCount == 3 && guid != nullptr) {
    gDeviceGuid = *guid;
    gDeviceKept = true;
  }
  return 1;  // go on
}

void TKss::CloseDirectDraw() {
  SetTimerEnabled(false);  // returns once a running tick has finished
  UnhookIdle();
  ReleaseSprites();
  // A gamma control outlives no display: the next display would otherwise be written through
  // the control of this one.
  SetBrightnessEnabled(false);
  ReleaseRef(FDDBACK);
  ReleaseRef(FDDPRIM);
  ReleaseRef(FDD);
}

void TKss::SetErrorResult(const std::string& Value) { FErrorResult = Value; }

std::string TKss::GetErrorResult() const { return FErrorResult; }

void TKss::Report(const std::string& Text, bool CloseFirst) {
  SetErrorResult(Text);
  if (CloseFirst) CloseDirectDraw();
  if (OnError) OnError(this);
}

void TKss::HookIdle() { vcl::Application().OnIdle = IdleHook{this}; }

void TKss::UnhookIdle() {
  auto& app = vcl::Application();
  if (HookedBy<IdleHook>(app.OnIdle, this)) app.OnIdle = nullptr;
}

void TKss::HookActivation() {
  auto& app = vcl::Application();
  app.OnDeactivate = DeactivateHook{this};
  app.OnActivate = ActivateHook{this};
}

void TKss::UnhookAll() {
  UnhookIdle();
  auto& app = vcl::Application();
  if (HookedBy<ActivateHook>(app.OnActivate, this)) app.OnActivate = nullptr;
  if (HookedBy<DeactivateHook>(app.OnDeactivate, this)) app.OnDeactivate = nullptr;
}

void TKss::AppDeactivate(vcl::TObject*) {
  FActive = false;
  UnhookIdle();
  SetTimerEnabled(false);
}

void TKss::AppActivate(vcl::TObject*) {
  FActive = true;
  if (FUseIdle) HookIdle();
  SetTimerEnabled(true);
}

void TKss::FullExit() {
  if (FOwnerForm == nullptr) return;
  FOwnerForm->Hide();
  FOwnerForm->SetBorderStyle(vcl::TBorderStyle::bsSizeable);
  FOwnerForm->SetHeight(20);
  FOwnerForm->SetWidth(20);
  FOwnerForm->Close();
}

}  // namespace engine
