#pragma once
// The hearth form over the in-memory display, with a private settings hive written beforehand,
// set up but with its timer stopped so that each test steps the frames itself.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <string>

#include "assets/Assets.h"
#include "engine/Kss.h"
#include "platform/ddraw/Backend.h"
#include "platform/ddraw/Memory.h"
#include "platform/vcl/Graphics.h"
#include "scene/Unit1.h"

namespace scene::testing {

class SceneTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (std::filesystem::temp_directory_path() / "sorvanta-scene-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    config_ = pattern;
    ::setenv("XDG_CONFIG_HOME", config_.c_str(), 1);
    ddraw::UseBackend(ddraw::BackendKind::Memory);
    ddraw::memory::Control().Reset();
  }

  void TearDown() override {
    form.reset();
    std::filesystem::remove_all(config_);
  }

  // Writes settings under the show's key before the form reads them (a first run writes the rest).
  void Store(const std::map<std::string, std::int32_t>& values) {
    vcl::TComponent owner(nullptr);
    auto* kss = new engine::TKss(&owner);
    kss->SetBrandName("Korvane Software");
    kss->SetSSName("Sorvanta");
    kss->SetRegistry();
    for (const auto& [name, value] : values) ASSERT_TRUE(kss->WriteRKey(name, value));
  }

  void Create() {
    form = std::make_unique<TForm1>(nullptr);
    // While the engine counts the application inactive its timer ticks draw nothing, so the
    // frames the set-up starts cannot run ahead of the test, which steps them itself.
    form->Kss1->AppDeactivate(nullptr);
    form->FormCreate(form.get());
    form->Kss1->SetTimerEnabled(false);
  }

  // One frame, as a timer tick draws it.
  void Tick() {
    engine::TKss* kss = form->Kss1;
    kss->IsLostRestore();
    kss->ClearBackSurface();
    form->Kss1Timer(kss);
    kss->FlipSurfaces();
  }

  static std::uint32_t Pixel(ddraw::IDirectDrawSurface* surface, int x, int y) {
    ddraw::DDSURFACEDESC desc;
    EXPECT_EQ(surface->Lock(nullptr, &desc, 0, nullptr), ddraw::DD_OK);
    const auto* row = reinterpret_cast<const std::uint8_t*>(desc.lpSurface) + y * desc.lPitch;
    const std::uint32_t value = reinterpret_cast<const std::uint32_t*>(row)[x] & 0xFFFFFF;
    surface->Unlock(nullptr);
    return value;
  }


 public:
  static vcl::TPicture Decoded(const char* asset) {
    vcl::TPicture picture;
    picture.LoadFromData(assets::Find(asset), asset);
    return picture;
  }

  static std::uint32_t At(const vcl::TPicture& picture, int x, int y) {
    vcl::TPixels p = picture.Graphic()->Pixels();
    return p.Data[static_cast<std::size_t>(y) * static_cast<std::size_t>(p.Pitch) + static_cast<std::size_t>(x)] &
           0xFFFFFF;
  }


 protected:
  std::unique_ptr<TForm1> form;

 private:
  std::string config_;
};

}  // namespace scene::testing
