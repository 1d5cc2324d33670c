// The in-memory display: surfaces without a window, steered by tests through memory::Control().
#include <algorithm>
#include <atomic>
#include <cstring>
#include <string>

#include "platform/ddraw/Device.h"
#include "platform/ddraw/Memory.h"

namespace ddraw {

namespace memory {

namespace {
int Slot(unsigned target) {
  switch (target) {
    case kPrimary: return 0;
    case kBack: return 1;
    case kOffscreen: return 2;
    default: return -1;  // display-object operations count in the first slot
  }
}
}  // namespace

DDGAMMARAMP ControlPanel::Identity() {
  DDGAMMARAMP ramp;
  for (int i = 0; i < 256; ++i) {
    const auto v = static_cast<std::uint16_t>(i * 257);
    ramp.red[i] = ramp.green[i] = ramp.blue[i] = v;
  }
  return ramp;
}

void ControlPanel::Reset() {
  std::lock_guard lock(mutex_);
  for (Script& s : scripts_) s = Script{};
  for (auto& c : calls_) c[0] = c[1] = c[2] = 0;
  gamma_ = true;
  gammaWrites_ = 0;
  ramp_ = Identity();
  devices_ = 1;
  monitors_ = 1;
  enumeration_ = true;
  shown_ = Frame{};
  window_ = nullptr;
  flags_ = 0;
  mode_ = Mode{};
}

void ControlPanel::Fail(Op op, Fault fault) {
  std::lock_guard lock(mutex_);
  scripts_[static_cast<int>(op)] = Script{fault, true, 0};
}

void ControlPanel::Heal(Op op) {
  std::lock_guard lock(mutex_);
  scripts_[static_cast<int>(op)] = Script{};
}

int ControlPanel::Calls(Op op, unsigned on) const {
  std::lock_guard lock(mutex_);
  const auto& c = calls_[static_cast<int>(op)];
  int n = 0;
  if (on & kPrimary) n += c[0];
  if (on & kBack) n += c[1];
  if (on & kOffscreen) n += c[2];
  return n;
}

HRESULT ControlPanel::Hit(Op op, unsigned target) {
  std::lock_guard lock(mutex_);
  const int slot = Slot(target);
  ++calls_[static_cast<int>(op)][slot < 0 ? 0 : slot];
  Script& s = scripts_[static_cast<int>(op)];
  if (!s.armed || (slot >= 0 && (s.fault.on & target) == 0)) return DD_OK;
  const int index = s.seen++;
  if (index < s.fault.after) return DD_OK;
  if (s.fault.times >= 0 && index >= s.fault.after + s.fault.times) return DD_OK;
  return s.fault.code;
}

void ControlPanel::LoseDisplay() { ++displayEpoch_; }
void ControlPanel::LosePrimary() { ++chainEpoch_; }

void ControlPanel::SetGammaAvailable(bool available) {
  std::lock_guard lock(mutex_);
  gamma_ = available;
}
bool ControlPanel::GammaAvailable() const {
  std::lock_guard lock(mutex_);
  return gamma_;
}
int ControlPanel::GammaWrites() const {
  std::lock_guard lock(mutex_);
  return gammaWrites_;
}
DDGAMMARAMP ControlPanel::LastGammaRamp() const {
  std::lock_guard lock(mutex_);
  return ramp_;
}
void ControlPanel::RecordGamma(const DDGAMMARAMP& ramp) {
  std::lock_guard lock(mutex_);
  ramp_ = ramp;
  ++gammaWrites_;
}

void ControlPanel::SetDeviceCount(int devices) {
  std::lock_guard lock(mutex_);
  devices_ = std::max(0, devices);
}
int ControlPanel::DeviceCount() const {
  std::lock_guard lock(mutex_);
  return devices_;
}
void ControlPanel::SetMonitorCount(int monitors) {
  std::lock_guard lock(mutex_);
  monitors_ = std::max(0, monitors);
}
int ControlPanel::MonitorCount() const {
  std::lock_guard lock(mutex_);
  return monitors_;
}
void ControlPanel::SetEnumerationAvailable(bool available) {
  std::lock_guard lock(mutex_);
  enumeration_ = available;
}
bool ControlPanel::EnumerationAvailable() const {
  std::lock_guard lock(mutex_);
  return enumeration_;
}

Frame ControlPanel::Shown() const {
  std::lock_guard lock(mutex_);
  return shown_;
}

void ControlPanel::RecordShown(const std::uint32_t* pixels, std::int32_t width, std::int32_t height,
                               std::int32_t pitch) {
  std::lock_guard lock(mutex_);
  // Same size as last time (every frame but the first): the copy reuses the vector's memory.
  shown_.pixels.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
  shown_.width = width;
  shown_.height = height;
  for (std::int32_t y = 0; y < height; ++y)
    std::memcpy(shown_.pixels.data() + static_cast<std::size_t>(y) * width,
                pixels + static_cast<std::size_t>(y) * pitch, static_cast<std::size_t>(width) * 4);
  ++shown_.serial;
}

vcl::HWND ControlPanel::CooperativeWindow() const {
  std::lock_guard lock(mutex_);
  return window_;
}
std::uint32_t ControlPanel::CooperativeFlags() const {
  std::lock_guard lock(mutex_);
  return flags_;
}
Mode ControlPanel::DisplayMode() const {
  std::lock_guard lock(mutex_);
  return mode_;
}
void ControlPanel::RecordCooperativeLevel(vcl::HWND window, std::uint32_t flags) {
  std::lock_guard lock(mutex_);
  window_ = window;
  flags_ = flags;
}
void ControlPanel::RecordMode(const Mode& mode) {
  std::lock_guard lock(mutex_);
  mode_ = mode;
}

ControlPanel& Control() {
  static ControlPanel panel;
  return panel;
}

}  // namespace memory

namespace detail {

namespace {

std::atomic<std::uint32_t> g_scrambleSeed{1};

void Undefine(const View& view) { Scramble(view, g_scrambleSeed++); }

class MemoryChain final : public Chain {
 public:
  MemoryChain(std::int32_t width, std::int32_t height)
      : width_(width),
        height_(height),
        front_(static_cast<std::size_t>(width) * static_cast<std::size_t>(height)),
        back_(front_.size()),
        display_(memory::Control().DisplayEpoch()),
        chain_(memory::Control().ChainEpoch()) {
    Undefine(Front());
    Undefine(Back());
  }

  View Front() override { return View{front_.data(), width_, height_, width_}; }
  View Back() override { return View{back_.data(), width_, height_, width_}; }

  HRESULT Flip() override {
    front_.swap(back_);
    memory::Control().RecordShown(front_.data(), width_, height_, width_);
    return DD_OK;
  }

  bool Lost() override {
    return display_ != memory::Control().DisplayEpoch() || chain_ != memory::Control().ChainEpoch();
  }

  HRESULT Restore() override {
    if (!Lost()) return DD_OK;
    display_ = memory::Control().DisplayEpoch();
    chain_ = memory::Control().ChainEpoch();
    Undefine(Front());
    Undefine(Back());
    return DD_OK;
  }

  HRESULT BeginFrontWrite(View* view) override {
    *view = Front();
    return DD_OK;
  }
  void EndFrontWrite() override {}

 private:
  std::int32_t width_, height_;
  std::vector<std::uint32_t> front_, back_;
  // Read by IsLost on any thread, written by Restore.
  std::atomic<std::uint64_t> display_, chain_;
};

class MemoryDevice final : public Device {
 public:
  MemoryDevice() { memory::Control().CountDisplay(1); }
  ~MemoryDevice() override { memory::Control().CountDisplay(-1); }

  HRESULT Check(memory::Op op, unsigned target) override { return memory::Control().Hit(op, target); }

  HRESULT SetCooperativeLevel(vcl::HWND window, std::uint32_t flags) override {
    memory::Control().RecordCooperativeLevel(window, flags);
    return DD_OK;
  }
  HRESULT SetDisplayMode(std::uint32_t width, std::uint32_t height, std::uint32_t bpp) override {
    memory::Control().RecordMode(memory::Mode{width, height, bpp});
    return DD_OK;
  }
  HRESULT CreateChain(std::int32_t width, std::int32_t height, std::shared_ptr<Chain>* out) override {
    try {
      *out = std::make_shared<MemoryChain>(width, height);
    } catch (const std::bad_alloc&) {
      return DDERR_OUTOFMEMORY;
    }
    return DD_OK;
  }
  bool GammaAvailable() override { return memory::Control().GammaAvailable(); }
  HRESULT GetGammaRamp(DDGAMMARAMP* ramp) override {
    *ramp = memory::Control().LastGammaRamp();
    return DD_OK;
  }
  HRESULT SetGammaRamp(const DDGAMMARAMP& ramp) override {
    memory::Control().RecordGamma(ramp);
    return DD_OK;
  }
  std::uint64_t OffscreenEpoch() override { return memory::Control().DisplayEpoch(); }
  void Undefined(const View& view) override { Undefine(view); }
  void CountSurface(int delta) override { memory::Control().CountSurface(delta); }
  void Close() override {}
};

}  // namespace

HRESULT CreateMemoryDevice(const GUID* device, std::shared_ptr<Device>* out) {
  if (HRESULT hr = memory::Control().Hit(memory::Op::Create, memory::kAnySurface); hr != DD_OK) return hr;
  if (device != nullptr) {
    const int index = DeviceIndex(*device);
    if (index < 0 || index >= memory::Control().DeviceCount()) return DDERR_INVALIDPARAMS;
  }
  *out = std::make_shared<MemoryDevice>();
  return DD_OK;
}

HRESULT MemoryEnumerate(LPDDENUMCALLBACKEXA callback, void* context, std::uint32_t /*flags*/) {
  if (callback == nullptr) return DDERR_INVALIDPARAMS;
  char primaryDescription[] = "Primary Display Driver";
  char primaryName[] = "display";
  if (callback(nullptr, primaryDescription, primaryName, context, nullptr) == 0) return DD_OK;
  const int devices = memory::Control().DeviceCount();
  for (int i = 0; i < devices; ++i) {
    GUID guid = DeviceGuid(i);
    const std::string description = "Memory Display " + std::to_string(i + 1);
    const std::string name = "memory" + std::to_string(i + 1);
    void* monitor = reinterpret_cast<void*>(static_cast<std::uintptr_t>(i + 1));
    if (callback(&guid, description.c_str(), name.c_str(), context, monitor) == 0) break;
  }
  return DD_OK;
}

}  // namespace detail

}  // namespace ddraw
