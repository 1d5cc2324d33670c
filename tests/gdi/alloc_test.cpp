// Counts the allocations of the calling thread while a frame's text drawing runs.
#include <gtest/gtest.h>

#include <cstdlib>
#include <new>

#include "Canvas.h"
#include "platform/ddraw/DDraw.h"
#include "platform/gdi/Gdi.h"

namespace {
thread_local bool counting = false;
thread_local int allocations = 0;
}  // namespace

void* operator new(std::size_t n) {
  if (counting) ++allocations;
  if (void* p = std::malloc(n ? n : 1)) return p;
  throw std::bad_alloc();
}
void* operator new[](std::size_t n) { return operator new(n); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

using namespace gdi;
using gdi_test::Arial;

TEST(Alloc, DrawingAFrameOfTextAllocatesNothing) {
  gdi_test::Canvas c(1024, 60);
  Arial(22);  // made at set-up
  Arial(16);
  SIZE size{};
  c.dc.font = nullptr;
  GetTextExtentPoint32A(&c.dc, "x", 1, &size);  // the context's own font, made once
  const ddraw::RECT clip{100, 0, 600, 60};

  counting = true;
  allocations = 0;
  for (int frame = 0; frame < 3; ++frame) {
    HFONT f = Arial(22);
    HFONT old = SelectObject(&c.dc, f);
    SetBkMode(&c.dc, TRANSPARENT);
    SetTextColor(&c.dc, RGB(255, 255, 255));
    GetTextExtentPoint32A(&c.dc, "22:35", 5, &size);
    TextOutA(&c.dc, 911 + (106 - size.cx) / 2, 10, "22", 2);
    SetTextColor(&c.dc, RGB(128, 128, 128));
    TextOutA(&c.dc, 940, 10, " PM", 3);
    ExtTextOutA(&c.dc, 90, 30, ETO_CLIPPED, &clip, "Sorvanta news \xB0 \x80 ticker", 23, nullptr);
    SelectObject(&c.dc, old);
    DeleteObject(f);
    TextOutA(&c.dc, 20, 40, "Frame rate: 25 FPS", 18);
  }
  counting = false;
  EXPECT_EQ(allocations, 0);
  // The counter does count.
  counting = true;
  void* probe = ::operator new(16);
  counting = false;
  ::operator delete(probe);
  EXPECT_EQ(allocations, 1);
}
