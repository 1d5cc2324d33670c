#pragma once
// The in-memory display: the same surfaces as the real one, without a window. Tests choose it with
// UseBackend(BackendKind::Memory) and steer it through Control(): any operation can be made to
// fail with a chosen code, surfaces can be marked lost, calls are counted, and the last shown frame
// and the last written gamma ramp can be read.
#include <atomic>
#include <cstdint>
#include <mutex>
#include <vector>

#include "platform/ddraw/DDraw.h"

namespace ddraw::memory {

enum class Op {
  Create,            // DirectDrawCreate
  CooperativeLevel,  // SetCooperativeLevel
  DisplayMode,       // SetDisplayMode
  CreatePrimary,     // CreateSurface of the flipping chain
  CreateOffscreen,   // CreateSurface of an off-screen surface
  GetCaps,
  GetAttachedSurface,
  Flip,
  Fill,     // Blt with DDBLT_COLORFILL
  BltFast,
  IsLost,   // a failure code here is what IsLost answers
  Restore,
  GetDC,
  SetColorKey,
  Lock,
  QueryGamma,  // QueryInterface for the gamma control
  GetGammaRamp,
  SetGammaRamp,
  Count
};

// Which surfaces a fault or a count applies to.
enum Target : unsigned { kPrimary = 1, kBack = 2, kOffscreen = 4, kAnySurface = 7 };

// A scripted failure: after `after` matching calls succeed, the next `times` ones (all when < 0)
// return `code`.
struct Fault {
  HRESULT code = DDERR_GENERIC;
  int times = -1;
  int after = 0;
  unsigned on = kAnySurface;
};

// A copy of the picture the last Flip put on the (imaginary) screen.
struct Frame {
  std::int32_t width = 0, height = 0;
  std::vector<std::uint32_t> pixels;  // 0x00RRGGBB, width per row
  std::uint64_t serial = 0;           // successful flips so far
  std::uint32_t At(std::int32_t x, std::int32_t y) const {
    return pixels.at(static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x));
  }
};

struct Mode {
  std::uint32_t width = 0, height = 0, bpp = 0;
};

class ControlPanel {
 public:
  // Back to a healthy display: no faults, zero counts, gamma present, one monitor and one device,
  // the enumeration facility present, nothing shown. Surfaces that still exist stay as they are.
  void Reset();

  void Fail(Op op, Fault fault = {});
  void Heal(Op op);
  // Calls made of op on the given surfaces (display-object operations count under any target).
  int Calls(Op op, unsigned on = kAnySurface) const;

  // The display loses every surface: each reports lost until it is restored (the primary's Restore
  // brings back the primary and its back buffer, each off-screen surface needs its own Restore).
  void LoseDisplay();
  // Only the flipping chain is lost.
  void LosePrimary();

  // Whether the display offers a gamma ramp (DDCAPS2_PRIMARYGAMMA and the gamma control).
  void SetGammaAvailable(bool available);
  bool GammaAvailable() const;
  int GammaWrites() const;
  DDGAMMARAMP LastGammaRamp() const;  // what SetGammaRamp last wrote (identity before any)

  // Display devices reported after the default driver, and monitors the window system reports.
  void SetDeviceCount(int devices);
  int DeviceCount() const;
  void SetMonitorCount(int monitors);
  int MonitorCount() const;
  // Whether "ddraw.dll" can be loaded for the device enumeration.
  void SetEnumerationAvailable(bool available);
  bool EnumerationAvailable() const;

  Frame Shown() const;
  vcl::HWND CooperativeWindow() const;
  std::uint32_t CooperativeFlags() const;
  Mode DisplayMode() const;
  // Objects alive now: display objects and surfaces (the back buffer counts as one).
  int LiveDisplays() const { return liveDisplays_.load(); }
  int LiveSurfaces() const { return liveSurfaces_.load(); }

  // Used by the in-memory display itself.
  HRESULT Hit(Op op, unsigned target);
  std::uint64_t DisplayEpoch() const { return displayEpoch_.load(); }
  std::uint64_t ChainEpoch() const { return chainEpoch_.load(); }
  void RecordShown(const std::uint32_t* pixels, std::int32_t width, std::int32_t height, std::int32_t pitch);
  void RecordGamma(const DDGAMMARAMP& ramp);
  void RecordCooperativeLevel(vcl::HWND window, std::uint32_t flags);
  void RecordMode(const Mode& mode);
  void CountDisplay(int delta) { liveDisplays_ += delta; }
  void CountSurface(int delta) { liveSurfaces_ += delta; }

 private:
  struct Script {
    Fault fault;
    bool armed = false;
    int seen = 0;  // matching calls since armed
  };
  mutable std::mutex mutex_;
  Script scripts_[static_cast<int>(Op::Count)];
  int calls_[static_cast<int>(Op::Count)][3] = {};
  bool gamma_ = true;
  int gammaWrites_ = 0;
  DDGAMMARAMP ramp_ = Identity();
  int devices_ = 1, monitors_ = 1;
  bool enumeration_ = true;
  Frame shown_;
  vcl::HWND window_ = nullptr;
  std::uint32_t flags_ = 0;
  Mode mode_;
  std::atomic<std::uint64_t> displayEpoch_{0}, chainEpoch_{0};
  std::atomic<int> liveDisplays_{0}, liveSurfaces_{0};

  static DDGAMMARAMP Identity();
};

ControlPanel& Control();

}  // namespace ddraw::memory
