// The SDL display (in progress): not offered yet.
#include "platform/ddraw/Device.h"

namespace ddraw::detail {

HRESULT CreateSdlDevice(const GUID*, std::shared_ptr<Device>*) { return DDERR_UNSUPPORTED; }
HRESULT SdlEnumerate(LPDDENUMCALLBACKEXA callback, void* context, std::uint32_t) {
  if (callback == nullptr) return DDERR_INVALIDPARAMS;
  char description[] = "Primary Display Driver";
  char name[] = "display";
  callback(nullptr, description, name, context, nullptr);
  return DD_OK;
}
int SdlMonitorCount() { return 0; }

}  // namespace ddraw::detail
