// The display object, the gamma control, the device enumeration and the scripted failures of the
// in-memory display.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "MemoryFixture.h"

namespace ddraw::testing {
namespace {

using memory::Control;
using memory::Fault;
using memory::Op;

using Display = MemoryDisplay;

TEST(DisplayOpening, RefusesWhatItCannotServe) {
  UseBackend(BackendKind::Memory);
  Control().Reset();
  IDirectDraw* dd = nullptr;
  ASSERT_EQ(DirectDrawCreate(nullptr, &dd, nullptr), DD_OK);
  IDirectDrawSurface* s = nullptr;
  EXPECT_EQ(dd->SetDisplayMode(1024, 768, 32), DDERR_NOEXCLUSIVEMODE);
  EXPECT_EQ(dd->SetCooperativeLevel(nullptr, DDSCL_FULLSCREEN), DDERR_INVALIDPARAMS);
  ASSERT_EQ(dd->SetCooperativeLevel(nullptr, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN), DD_OK);
  EXPECT_EQ(dd->CreateSurface(&MemoryDisplay::PrimaryDesc(), &s, nullptr), DDERR_INVALIDMODE)
      << "no primary before a display mode";
  for (std::uint32_t bpp : {8u, 15u, 64u}) EXPECT_EQ(dd->SetDisplayMode(1024, 768, bpp), DDERR_INVALIDMODE) << bpp;
  EXPECT_EQ(dd->SetDisplayMode(0, 768, 32), DDERR_INVALIDMODE);
  for (std::uint32_t bpp : {16u, 24u, 32u}) EXPECT_EQ(dd->SetDisplayMode(1024, 768, bpp), DD_OK) << bpp;
  EXPECT_EQ(Control().DisplayMode().bpp, 32u);

  DDSURFACEDESC noBack = MemoryDisplay::PrimaryDesc();
  noBack.dwBackBufferCount = 2;
  EXPECT_EQ(dd->CreateSurface(&noBack, &s, nullptr), DDERR_INVALIDPARAMS);
  ASSERT_EQ(dd->CreateSurface(&MemoryDisplay::PrimaryDesc(), &s, nullptr), DD_OK);
  DDSURFACEDESC desc;
  ASSERT_EQ(s->GetSurfaceDesc(&desc), DD_OK);
  EXPECT_EQ(desc.dwWidth, 1024u);
  EXPECT_EQ(desc.dwHeight, 768u);
  EXPECT_EQ(desc.ddpfPixelFormat.dwRGBBitCount, 32u) << "every mode composes in 32 bits";
  IDirectDrawSurface* second = nullptr;
  EXPECT_EQ(dd->CreateSurface(&MemoryDisplay::PrimaryDesc(), &second, nullptr), DDERR_PRIMARYSURFACEALREADYEXISTS);
  EXPECT_EQ(second, nullptr);
  EXPECT_EQ(dd->SetDisplayMode(800, 600, 32), DDERR_SURFACEBUSY);

  for (auto [w, h] : {std::pair{0u, 5u}, std::pair{5u, 0u}, std::pair{20000u, 5u}, std::pair{16384u, 16384u}}) {
    DDSURFACEDESC off = MemoryDisplay::OffscreenDesc(w, h);
    EXPECT_EQ(dd->CreateSurface(&off, &second, nullptr), DDERR_INVALIDPARAMS) << w << "x" << h;
  }
  s->Release();
  EXPECT_EQ(dd->SetDisplayMode(800, 600, 32), DD_OK) << "the chain has gone";
  dd->Release();
  EXPECT_EQ(Control().LiveSurfaces(), 0);
  EXPECT_EQ(Control().LiveDisplays(), 0);
}

// One scripted failure per operation: the call returns the chosen code, the next healthy one works.
TEST_F(Display, EveryOperationCanBeMadeToFail) {
  IDirectDrawSurface* src = Offscreen(4, 4);
  DDCOLORKEY key{0, 0};
  ASSERT_EQ(src->SetColorKey(DDCKEY_SRCBLT, &key), DD_OK);
  IDirectDrawGammaControl* gamma = nullptr;
  ASSERT_EQ(prim->QueryInterface(IID_IDirectDrawGammaControl, reinterpret_cast<void**>(&gamma)), DD_OK);
  struct Case {
    Op op;
    std::function<HRESULT()> call;
  };
  DDSURFACEDESC lockDesc;
  DDGAMMARAMP ramp;
  DDCAPS caps;
  const Case cases[] = {
      {Op::Create,
       [] {
         IDirectDraw* other = nullptr;
         HRESULT hr = DirectDrawCreate(nullptr, &other, nullptr);
         if (other) other->Release();
         return hr;
       }},
      {Op::CooperativeLevel, [&] { return dd->SetCooperativeLevel(nullptr, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN); }},
      {Op::DisplayMode,
       [&] {
         IDirectDraw* other = nullptr;
         DirectDrawCreate(nullptr, &other, nullptr);
         other->SetCooperativeLevel(nullptr, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN);
         HRESULT hr = other->SetDisplayMode(640, 480, 32);
         other->Release();
         return hr;
       }},
      {Op::CreatePrimary,
       [&] {
         IDirectDraw* other = nullptr;
         DirectDrawCreate(nullptr, &other, nullptr);
         other->SetCooperativeLevel(nullptr, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN);
         other->SetDisplayMode(640, 480, 32);
         IDirectDrawSurface* p = nullptr;
         HRESULT hr = other->CreateSurface(&PrimaryDesc(), &p, nullptr);
         if (p) p->Release();
         other->Release();
         return hr;
       }},
      {Op::CreateOffscreen,
       [&] {
         IDirectDrawSurface* s = nullptr;
         DDSURFACEDESC d = OffscreenDesc(3, 3);
         HRESULT hr = dd->CreateSurface(&d, &s, nullptr);
         if (s) s->Release();
         return hr;
       }},
      {Op::GetCaps, [&] { return dd->GetCaps(&caps, nullptr); }},
      {Op::GetAttachedSurface,
       [&] {
         IDirectDrawSurface* b = nullptr;
         DDSCAPS c{DDSCAPS_BACKBUFFER};
         HRESULT hr = prim->GetAttachedSurface(&c, &b);
         if (b) b->Release();
         return hr;
       }},
      {Op::Flip, [&] { return prim->Flip(nullptr, 0); }},
      {Op::Fill, [&] { return FillRect(back, 0); }},
      {Op::BltFast, [&] { return back->BltFast(0, 0, src, nullptr, DDBLTFAST_SRCCOLORKEY); }},
      {Op::IsLost, [&] { return prim->IsLost(); }},
      {Op::Restore, [&] { return prim->Restore(); }},
      {Op::GetDC,
       [&] {
         HDC dc = nullptr;
         HRESULT hr = back->GetDC(&dc);
         if (hr == DD_OK) back->ReleaseDC(dc);
         return hr;
       }},
      {Op::SetColorKey, [&] { return src->SetColorKey(DDCKEY_SRCBLT, &key); }},
      {Op::Lock,
       [&] {
         HRESULT hr = src->Lock(nullptr, &lockDesc, 0, nullptr);
         if (hr == DD_OK) src->Unlock(nullptr);
         return hr;
       }},
      {Op::QueryGamma,
       [&] {
         void* g = nullptr;
         HRESULT hr = prim->QueryInterface(IID_IDirectDrawGammaControl, &g);
         if (g) static_cast<IDirectDrawGammaControl*>(g)->Release();
         return hr;
       }},
      {Op::GetGammaRamp, [&] { return gamma->GetGammaRamp(0, &ramp); }},
      {Op::SetGammaRamp, [&] { return gamma->SetGammaRamp(0, &ramp); }},
  };
  ASSERT_EQ(std::size(cases), static_cast<std::size_t>(Op::Count));
  const HRESULT odd = static_cast<HRESULT>(0x8876ABCDu);  // a code no one names
  for (const Case& c : cases) {
    const int op = static_cast<int>(c.op);
    ASSERT_EQ(c.call(), DD_OK) << "op " << op << " healthy";
    for (HRESULT code : {DDERR_GENERIC, DDERR_SURFACEBUSY, odd}) {
      Control().Fail(c.op, Fault{code});
      EXPECT_EQ(c.call(), code) << "op " << op;
      EXPECT_EQ(c.call(), code) << "op " << op << " keeps failing";
    }
    Control().Heal(c.op);
    EXPECT_EQ(c.call(), DD_OK) << "op " << op << " healed";
  }
  gamma->Release();
}

TEST_F(Display, FaultsCountTheirCallsAndPickTheirSurfaces) {
  IDirectDrawSurface* src = Offscreen(2, 2);
  // A blit that is still drawing three times, then goes through.
  Control().Fail(Op::BltFast, Fault{DDERR_WASSTILLDRAWING, 3});
  const int before = Control().Calls(Op::BltFast);
  HRESULT hr;
  int tries = 0;
  while ((hr = back->BltFast(0, 0, src, nullptr, 0)) == DDERR_WASSTILLDRAWING) ++tries;
  EXPECT_EQ(hr, DD_OK);
  EXPECT_EQ(tries, 3);
  EXPECT_EQ(Control().Calls(Op::BltFast) - before, 4);

  // The third off-screen surface cannot be made; the fourth can.
  Control().Fail(Op::CreateOffscreen, Fault{DDERR_OUTOFMEMORY, 1, 2});
  std::vector<HRESULT> results;
  for (int i = 0; i < 4; ++i) {
    IDirectDrawSurface* s = nullptr;
    DDSURFACEDESC d = OffscreenDesc(2, 2);
    results.push_back(dd->CreateSurface(&d, &s, nullptr));
    if (s) s->Release();
  }
  EXPECT_EQ(results, (std::vector<HRESULT>{DD_OK, DD_OK, DDERR_OUTOFMEMORY, DD_OK}));

  // GetDC refused on off-screen surfaces only: the back buffer still hands one out.
  Control().Fail(Op::GetDC, Fault{DDERR_GENERIC, -1, 0, memory::kOffscreen});
  HDC dc = nullptr;
  EXPECT_EQ(src->GetDC(&dc), DDERR_GENERIC);
  ASSERT_EQ(back->GetDC(&dc), DD_OK);
  back->ReleaseDC(dc);
  EXPECT_EQ(Control().Calls(Op::GetDC, memory::kOffscreen), 1);
  EXPECT_EQ(Control().Calls(Op::GetDC, memory::kBack), 1);

  // The primary refuses its restore while an off-screen surface restores.
  Control().LoseDisplay();
  Control().Fail(Op::Restore, Fault{DDERR_WRONGMODE, -1, 0, memory::kPrimary});
  EXPECT_EQ(prim->Restore(), DDERR_WRONGMODE);
  EXPECT_EQ(prim->IsLost(), DDERR_SURFACELOST);
  EXPECT_EQ(src->Restore(), DD_OK);
}

TEST_F(Display, GammaControlWritesTheRampWhenTheDisplayHasOne) {
  DDCAPS caps;
  ASSERT_EQ(dd->GetCaps(&caps, nullptr), DD_OK);
  EXPECT_TRUE(caps.dwCaps2 & DDCAPS2_PRIMARYGAMMA);
  IDirectDrawGammaControl* gamma = nullptr;
  ASSERT_EQ(prim->QueryInterface(IID_IDirectDrawGammaControl, reinterpret_cast<void**>(&gamma)), DD_OK);
  DDGAMMARAMP ramp;
  ASSERT_EQ(gamma->GetGammaRamp(0, &ramp), DD_OK);
  EXPECT_EQ(ramp.red[255], 65535) << "identity before any write";
  for (int i = 0; i < 256; ++i) {
    ramp.red[i] = static_cast<std::uint16_t>(i * 128);
    ramp.green[i] = static_cast<std::uint16_t>(i * 64);
    ramp.blue[i] = static_cast<std::uint16_t>(i * 300);
  }
  ASSERT_EQ(gamma->SetGammaRamp(0, &ramp), DD_OK);
  EXPECT_EQ(Control().GammaWrites(), 1);
  const DDGAMMARAMP written = Control().LastGammaRamp();
  EXPECT_EQ(written.red, ramp.red);
  EXPECT_EQ(written.green, ramp.green);
  EXPECT_EQ(written.blue, ramp.blue);
  EXPECT_EQ(gamma->SetGammaRamp(0, nullptr), DDERR_INVALIDPARAMS);
  // The control keeps the primary alive.
  prim->Release();
  prim = nullptr;
  EXPECT_EQ(gamma->GetGammaRamp(0, &ramp), DD_OK);
  gamma->Release();

  void* none = nullptr;
  EXPECT_EQ(back->QueryInterface(IID_IDirectDrawGammaControl, &none), E_NOINTERFACE);
  EXPECT_EQ(back->QueryInterface(GUID{1, 2, 3, {}}, &none), E_NOINTERFACE);
}

TEST_F(Display, WithoutGammaTheCapabilityAndTheControlAreAbsent) {
  Control().SetGammaAvailable(false);
  DDCAPS caps;
  ASSERT_EQ(dd->GetCaps(&caps, nullptr), DD_OK);
  EXPECT_FALSE(caps.dwCaps2 & DDCAPS2_PRIMARYGAMMA);
  void* gamma = reinterpret_cast<void*>(1);
  EXPECT_EQ(prim->QueryInterface(IID_IDirectDrawGammaControl, &gamma), E_NOINTERFACE);
  EXPECT_EQ(gamma, nullptr);
  DDCAPS wrong;
  wrong.dwSize = 4;
  EXPECT_EQ(dd->GetCaps(&wrong, nullptr), DDERR_INVALIDPARAMS);
}

struct Reported {
  bool hasGuid;
  GUID guid;
  std::string description;
};

int Collect(GUID* guid, const char* description, const char*, void* context, void*) {
  auto* list = static_cast<std::vector<Reported>*>(context);
  list->push_back(Reported{guid != nullptr, guid ? *guid : GUID{}, description});
  return 1;
}

int StopAfterTwo(GUID*, const char*, const char*, void* context, void*) { return ++*static_cast<int*>(context) < 2; }

TEST(DisplayEnumeration, ReportsTheDefaultDriverThenEachDevice) {
  UseBackend(BackendKind::Memory);
  Control().Reset();
  EXPECT_EQ(LoadEnumerateEx("mpr.dll"), nullptr);
  Control().SetDeviceCount(3);
  DirectDrawEnumerateExAFunc enumerate = LoadEnumerateEx("DDRAW.DLL");
  ASSERT_NE(enumerate, nullptr);
  std::vector<Reported> seen;
  ASSERT_EQ(enumerate(&Collect, &seen, DDENUM_ATTACHEDSECONDARYDEVICES), DD_OK);
  ASSERT_EQ(seen.size(), 4u);
  EXPECT_FALSE(seen[0].hasGuid);
  for (std::size_t i = 1; i < seen.size(); ++i) {
    EXPECT_TRUE(seen[i].hasGuid);
    for (std::size_t j = 1; j < i; ++j) EXPECT_FALSE(seen[i].guid == seen[j].guid);
  }
  int calls = 0;
  ASSERT_EQ(enumerate(&StopAfterTwo, &calls, 0), DD_OK);
  EXPECT_EQ(calls, 2) << "the callback can stop the enumeration";

  IDirectDraw* dd = nullptr;
  ASSERT_EQ(DirectDrawCreate(&seen[2].guid, &dd, nullptr), DD_OK);
  dd->Release();
  GUID stranger{7, 7, 7, {}};
  EXPECT_EQ(DirectDrawCreate(&stranger, &dd, nullptr), DDERR_INVALIDPARAMS);
  EXPECT_EQ(dd, nullptr);

  Control().SetEnumerationAvailable(false);
  EXPECT_EQ(LoadEnumerateEx("ddraw.dll"), nullptr);
  EXPECT_EQ(MonitorCount(), 1);
  Control().SetMonitorCount(2);
  EXPECT_EQ(MonitorCount(), 2);
  Control().Reset();
}

}  // namespace
}  // namespace ddraw::testing
