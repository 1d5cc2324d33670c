#pragma once
// An engine on a plain form over the in-memory display, with a private settings hive; the
// process-wide frame-rate values start at 0. Every surface and display object must be gone at the end.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/Kss.h"
#include "platform/ddraw/Backend.h"
#include "platform/ddraw/Memory.h"
#include "platform/gdi/Gdi.h"
#include "platform/vcl/Forms.h"

namespace engine::testing {

using ddraw::memory::Control;
using ddraw::memory::Op;

class EngineTest : public ::testing::Test {
 protected:
  static constexpr std::int32_t kW = 320, kH = 240;

  void SetUp() override {
    std::string pattern = (std::filesystem::temp_directory_path() / "sorvanta-engine-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    config_ = pattern;
    if (const char* old = std::getenv("XDG_CONFIG_HOME")) savedConfig_ = old;
    ::setenv("XDG_CONFIG_HOME", config_.c_str(), 1);

    ddraw::UseBackend(ddraw::BackendKind::Memory);
    Control().Reset();
    surfaces_ = Control().LiveSurfaces();
    displays_ = Control().LiveDisplays();
    FpsFrameCount = 0;
    FpsLastTime = 0;
    FpsRate = 0;

    form = std::make_unique<vcl::TForm>(nullptr);
    kss = new TKss(form.get());
    kss->SetBrandName("Korvane Software");
    kss->SetSSName("Sorvanta");
    kss->SetUseIdle(false);
    kss->SetWidthScreen(kW);
    kss->SetHeightScreen(kH);
    kss->SetColorDepth(32);
    kss->OnError = [this](vcl::TObject* sender) {
      errors.push_back(kss->GetErrorResult());
      EXPECT_EQ(sender, kss);
    };
  }

  void TearDown() override {
    kss->SetTimerEnabled(false);
    kss->SetEnabled(false);
    form.reset();  // frees the engine and whatever else the form owns
    EXPECT_EQ(Control().LiveSurfaces(), surfaces_) << "a surface was not released";
    EXPECT_EQ(Control().LiveDisplays(), displays_) << "a display object was not released";
    Control().Reset();
    if (savedConfig_) ::setenv("XDG_CONFIG_HOME", savedConfig_->c_str(), 1);
    else ::unsetenv("XDG_CONFIG_HOME");
    std::error_code ignored;
    std::filesystem::remove_all(config_, ignored);
  }

  void Open() {
    kss->SetEnabled(true);
    ASSERT_NE(kss->FDDBACK, nullptr) << kss->GetErrorResult();
  }

  int LiveSurfacesNow() const { return Control().LiveSurfaces() - surfaces_; }
  int LiveDisplaysNow() const { return Control().LiveDisplays() - displays_; }

  // A black picture of the engine's size, with white texts drawn as the overlays draw them.
  static std::vector<std::uint32_t> BlackFrame() {
    return std::vector<std::uint32_t>(static_cast<std::size_t>(kW) * kH, 0);
  }
  static void WhiteText(std::vector<std::uint32_t>& pixels, int x, int y, const std::string& text) {
    gdi::DC dc;
    dc.bits = gdi::Bits{pixels.data(), kW, kH, kW};
    gdi::SetBkMode(&dc, gdi::TRANSPARENT);
    gdi::SetTextColor(&dc, gdi::RGB(255, 255, 255));
    gdi::TextOutA(&dc, x, y, text.data(), static_cast<int>(text.size()));
  }

  // Every pixel of a surface, row by row.
  static std::vector<std::uint32_t> PixelsOf(ddraw::IDirectDrawSurface* s) {
    ddraw::DDSURFACEDESC d;
    std::vector<std::uint32_t> out;
    if (s == nullptr || s->Lock(nullptr, &d, 0, nullptr) != ddraw::DD_OK) return out;
    for (std::uint32_t y = 0; y < d.dwHeight; ++y) {
      auto* row = reinterpret_cast<const std::uint32_t*>(static_cast<const char*>(d.lpSurface) + y * d.lPitch);
      out.insert(out.end(), row, row + d.dwWidth);
    }
    s->Unlock(nullptr);
    return out;
  }

  static ddraw::HRESULT FillRect(ddraw::IDirectDrawSurface* s, std::uint32_t color, const ddraw::RECT& r) {
    ddraw::DDBLTFX fx;
    fx.dwFillColor = color;
    return s->Blt(&r, nullptr, nullptr, ddraw::DDBLT_COLORFILL | ddraw::DDBLT_WAIT, &fx);
  }

  std::unique_ptr<vcl::TForm> form;
  TKss* kss = nullptr;  // owned by the form
  std::vector<std::string> errors;

 private:
  std::filesystem::path config_;
  std::optional<std::string> savedConfig_;
  int surfaces_ = 0, displays_ = 0;
};

}  // namespace engine::testing
