#pragma once
// What differs between the display backends, behind the surface and display objects they share
// (Objects.cpp): where the flipping chain's memory lives and how a flip reaches the screen, when
// surfaces are lost, the gamma ramp, and the scripted failures of the in-memory display.
#include <cstdint>
#include <memory>

#include "platform/ddraw/DDraw.h"
#include "platform/ddraw/Memory.h"
#include "platform/ddraw/Pixels.h"

namespace ddraw::detail {

enum class Kind { Primary, Back, Offscreen };
inline unsigned TargetOf(Kind kind) {
  return kind == Kind::Primary ? memory::kPrimary : kind == Kind::Back ? memory::kBack : memory::kOffscreen;
}

// The memory of the primary surface (front) and its one back buffer.
class Chain {
 public:
  virtual ~Chain() = default;
  virtual View Front() = 0;  // for reading
  virtual View Back() = 0;
  // Puts the back buffer's picture on the screen and swaps the buffers.
  virtual HRESULT Flip() = 0;
  virtual bool Lost() = 0;
  // Brings both buffers back (contents undefined), or says why not.
  virtual HRESULT Restore() = 0;
  // Drawing on the front: the memory to draw on, then EndFrontWrite shows what was drawn.
  virtual HRESULT BeginFrontWrite(View* view) = 0;
  virtual void EndFrontWrite() = 0;
};

class Device {
 public:
  virtual ~Device() = default;
  // Scripted failures and call counts (the in-memory display); DD_OK lets the call go on.
  virtual HRESULT Check(memory::Op, unsigned /*target*/) { return DD_OK; }
  virtual HRESULT SetCooperativeLevel(vcl::HWND window, std::uint32_t flags) = 0;
  virtual HRESULT SetDisplayMode(std::uint32_t width, std::uint32_t height, std::uint32_t bpp) = 0;
  virtual HRESULT CreateChain(std::int32_t width, std::int32_t height, std::shared_ptr<Chain>* out) = 0;
  virtual bool GammaAvailable() = 0;
  virtual HRESULT GetGammaRamp(DDGAMMARAMP* ramp) = 0;
  virtual HRESULT SetGammaRamp(const DDGAMMARAMP& ramp) = 0;
  // Off-screen surfaces are lost while the epoch they were made or restored in is not the current.
  virtual std::uint64_t OffscreenEpoch() { return 0; }
  // What fresh or restored memory holds.
  virtual void Undefined(const View& view) = 0;
  virtual void CountSurface(int /*delta*/) {}
  // The display object is gone: leave full screen; later flips report the surface lost.
  virtual void Close() = 0;
};

// The display object over a device.
IDirectDraw* NewDisplay(std::shared_ptr<Device> device);

// Device identifiers handed out by the enumerations: index 0 is the first display device.
GUID DeviceGuid(int index);
int DeviceIndex(const GUID& guid);  // -1 when the identifier is not one of ours

// The backends' parts (MemoryBackend.cpp, SdlBackend.cpp).
HRESULT CreateMemoryDevice(const GUID* device, std::shared_ptr<Device>* out);
HRESULT MemoryEnumerate(LPDDENUMCALLBACKEXA callback, void* context, std::uint32_t flags);
HRESULT CreateSdlDevice(const GUID* device, std::shared_ptr<Device>* out);
HRESULT SdlEnumerate(LPDDENUMCALLBACKEXA callback, void* context, std::uint32_t flags);
int SdlMonitorCount();

}  // namespace ddraw::detail
