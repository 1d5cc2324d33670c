#include <dlfcn.h>

#include <cstdint>

#include "app/Modes.h"
#include "platform/vcl/Dialogs.h"

namespace app {

namespace {
// The platform's password-change entry point: provider name, owner window, two reserved values.
using PwdChangePasswordProc = std::uint32_t (*)(const char* provider, std::uintptr_t owner, std::uint32_t reserved1,
                                                std::uint32_t reserved2);
constexpr const char* kCaption = "Screen saver";
}  // namespace

void RunPasswordChange(std::int32_t handle, const char* library) {
  const std::uintptr_t owner = handle > 0 ? static_cast<std::uintptr_t>(handle) : 0;
  void* module = dlopen(library, RTLD_NOW | RTLD_LOCAL);
  if (!module) {
    vcl::ShowMessageBox(owner, "MPR.DLL not found: cannot change password.", kCaption);
    return;
  }
  auto proc = reinterpret_cast<PwdChangePasswordProc>(dlsym(module, "PwdChangePasswordA"));
  if (!proc) {
    dlclose(module);
    vcl::ShowMessageBox(owner, "PwdChangeProc not found: cannot change password", kCaption);
    return;
  }
  proc("SCRSAVE", static_cast<std::uintptr_t>(static_cast<std::intptr_t>(handle)), 0, 0);
  dlclose(module);
}

}  // namespace app
