// TKss: brightness through the display's gamma ramp.
#include <algorithm>

#include "engine/Kss.h"

namespace engine {

namespace {

// Entry i of a ramp with the given step. It saturates at full output: a ramp that wrapped past
// 65535 would fall back towards black in the middle and garble the picture.
std::uint16_t RampEntry(int i, std::int32_t step) {
  const std::int64_t value = static_cast<std::int64_t>(i) * step;
  return static_cast<std::uint16_t>(std::clamp<std::int64_t>(value, 0, 65535));
}

}  // namespace

void TKss::SetBrightnessEnabled(bool Value) {
  if (Value == FBrightnessEnabled) return;
  if (!Value) {
    FBrightnessEnabled = false;
    if (FGammaControl != nullptr) {
      FGammaControl->Release();
      FGammaControl = nullptr;
    }
    return;
  }
  // No display (a failed open): no gamma control either.
  if (FDD == nullptr || FDDPRIM == nullptr) {
    FBrightnessEnabled = false;
    return;
  }
  if (FDDPRIM->IsLost() == ddraw::DDERR_SURFACELOST) {
    FBrightnessEnabled = false;
    Report("Lost surface", false);
    return;
  }
  ddraw::DDCAPS caps;
  if (FDD->GetCaps(&caps, nullptr) != ddraw::DD_OK) caps.dwCaps2 = 0;
  if ((caps.dwCaps2 & ddraw::DDCAPS2_PRIMARYGAMMA) == 0) return;
  FBrightnessEnabled = true;
  void* control = nullptr;
  if (FDDPRIM->QueryInterface(ddraw::IID_IDirectDrawGammaControl, &control) != ddraw::DD_OK || control == nullptr) {
    FBrightnessEnabled = false;
    return;
  }
  FGammaControl = static_cast<ddraw::IDirectDrawGammaControl*>(control);
}

void TKss::SetRGB(std::int32_t Value) {
  SetBrightnessEnabled(true);
  if (!FBrightnessEnabled) return;
  FBrightness = Value;
  WriteRamp(Value, Value, Value);
}

void TKss::SetLinearRGB(std::int32_t Red, std::int32_t Green, std::int32_t Blue) {
  SetBrightnessEnabled(true);
  if (!FBrightnessEnabled) return;
  WriteRamp(Red, Green, Blue);
}

void TKss::WriteRamp(std::int32_t Red, std::int32_t Green, std::int32_t Blue) {
  ddraw::DDGAMMARAMP ramp{};
  // Only proves that the control answers; the ramp read is not used.
  if (FGammaControl->GetGammaRamp(0, &ramp) != ddraw::DD_OK) {
    Report("Cannot GetGammaRamp", true);
    return;
  }
  for (int i = 0; i < 256; ++i) {
    ramp.red[i] = RampEntry(i, Red);
    ramp.green[i] = RampEntry(i, Green);
    ramp.blue[i] = RampEntry(i, Blue);
  }
  if (FGammaControl->SetGammaRamp(0, &ramp) != ddraw::DD_OK) {
    Report("Cannot SetGammaRamp", true);
    return;
  }
  SetBrightnessEnabled(false);
}

}  // namespace engine
