// The one place that picks the display backend.
#include "platform/ddraw/Backend.h"

#include <atomic>
#include <cctype>

#include "platform/ddraw/Device.h"
#include "platform/ddraw/Memory.h"

namespace ddraw {

namespace {
std::atomic<BackendKind> g_backend{BackendKind::Sdl};

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
  return true;
}
}  // namespace

void UseBackend(BackendKind kind) { g_backend = kind; }
BackendKind CurrentBackend() { return g_backend; }

HRESULT DirectDrawCreate(const GUID* device, IDirectDraw** out, void* outer) {
  if (out == nullptr) return DDERR_INVALIDPARAMS;
  *out = nullptr;
  if (outer != nullptr) return DDERR_INVALIDPARAMS;
  std::shared_ptr<detail::Device> made;
  const HRESULT hr = CurrentBackend() == BackendKind::Memory ? detail::CreateMemoryDevice(device, &made)
                                                              : detail::CreateSdlDevice(device, &made);
  if (hr != DD_OK) return hr;
  *out = detail::NewDisplay(std::move(made));
  return DD_OK;
}

DirectDrawEnumerateExAFunc LoadEnumerateEx(std::string_view library) {
  if (!SameName(library, "ddraw.dll")) return nullptr;
  if (CurrentBackend() == BackendKind::Memory)
    return memory::Control().EnumerationAvailable() ? &detail::MemoryEnumerate : nullptr;
  return &detail::SdlEnumerate;
}

int MonitorCount() {
  if (CurrentBackend() == BackendKind::Memory) return memory::Control().MonitorCount();
  return detail::SdlMonitorCount();
}

}  // namespace ddraw
