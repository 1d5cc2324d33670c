#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <set>
#include <thread>

#include "platform/mm/MMSystem.h"
#include "platform/mm/TimerSchedule.h"

using namespace mm;
using namespace std::chrono_literals;

namespace {

struct Probe {
  std::atomic<int> ticks{0};
  std::atomic<int> inside{0};
  std::atomic<int> overlaps{0};
  std::atomic<bool> otherThread{false};
  std::atomic<std::uint32_t> lastId{0}, lastMsg{99};
  std::thread::id caller = std::this_thread::get_id();
  std::atomic<std::thread::id> tickThread{};
  std::chrono::milliseconds work{0};
  // Kill from inside the tick on this tick number (0: never).
  int killOnTick = 0;
  std::atomic<MMRESULT> killResult{MMSYSERR_ERROR};
  // Hold the tick until released.
  std::atomic<bool> holdFirst{false}, held{false}, release{false}, finished{false};
};

void Tick(std::uint32_t id, std::uint32_t msg, std::uintptr_t user, std::uintptr_t, std::uintptr_t) {
  auto& p = *reinterpret_cast<Probe*>(user);
  if (p.inside.fetch_add(1) != 0) p.overlaps++;
  const int n = ++p.ticks;
  p.lastId = id;
  p.lastMsg = msg;
  if (std::this_thread::get_id() == p.caller) p.otherThread = true;
  std::thread::id expected{};
  if (!p.tickThread.compare_exchange_strong(expected, std::this_thread::get_id()) &&
      expected != std::this_thread::get_id())
    p.otherThread = true;  // every tick of one timer runs on the same thread
  if (p.work.count()) std::this_thread::sleep_for(p.work);
  if (p.holdFirst && n == 1) {
    p.held = true;
    while (!p.release) std::this_thread::sleep_for(1ms);
    p.finished = true;
  }
  if (n == p.killOnTick) p.killResult = timeKillEvent(id);
  p.inside--;
}

template <class Pred>
bool WaitFor(Pred pred) {
  for (int i = 0; i < 30000 && !pred(); ++i) std::this_thread::sleep_for(1ms);
  return pred();
}

std::uint32_t Start(Probe& p, std::uint32_t delay) {
  return timeSetEvent(delay, 0, Tick, reinterpret_cast<std::uintptr_t>(&p), TIME_PERIODIC);
}

}  // namespace

TEST(Timer, TicksRunOneAfterAnotherOnTheirOwnThread) {
  Probe p;
  p.work = 6ms;  // longer than the period: every tick is late
  const std::uint32_t id = Start(p, 2);
  ASSERT_NE(id, 0u);
  ASSERT_TRUE(WaitFor([&] { return p.ticks >= 15; }));
  EXPECT_EQ(timeKillEvent(id), TIMERR_NOERROR);
  EXPECT_EQ(p.overlaps, 0);
  EXPECT_FALSE(p.otherThread);
  EXPECT_EQ(p.lastId, id);
  EXPECT_EQ(p.lastMsg, 0u);
}

TEST(Timer, TwoTimersTickSideBySide) {
  Probe a, b;
  const std::uint32_t ia = Start(a, 1), ib = Start(b, 1);
  ASSERT_NE(ia, ib);
  ASSERT_TRUE(WaitFor([&] { return a.ticks >= 10 && b.ticks >= 10; }));
  timeKillEvent(ia);
  timeKillEvent(ib);
  EXPECT_NE(a.tickThread.load(), b.tickThread.load());
  EXPECT_EQ(a.overlaps + b.overlaps, 0);
}

TEST(Timer, KillReturnsOnlyAfterTheRunningTickHasFinished) {
  Probe p;
  p.holdFirst = true;
  const std::uint32_t id = Start(p, 1);
  ASSERT_TRUE(WaitFor([&] { return p.held.load(); }));
  std::thread releaser([&] {
    std::this_thread::sleep_for(50ms);
    p.release = true;
  });
  EXPECT_EQ(timeKillEvent(id), TIMERR_NOERROR);
  EXPECT_TRUE(p.finished);  // the tick was done before the kill came back
  EXPECT_EQ(p.inside, 0);
  const int ticks = p.ticks;
  std::this_thread::sleep_for(20ms);
  EXPECT_EQ(p.ticks, ticks);  // and nothing ticked after it
  releaser.join();
}

TEST(Timer, KillFromInsideItsOwnTickStopsIt) {
  Probe p;
  p.killOnTick = 3;
  const std::uint32_t id = Start(p, 1);
  ASSERT_TRUE(WaitFor([&] { return p.killResult == TIMERR_NOERROR && p.inside == 0; }));
  std::this_thread::sleep_for(20ms);
  EXPECT_EQ(p.ticks, 3);
  EXPECT_EQ(timeKillEvent(id), MMSYSERR_ERROR);  // already gone
}

TEST(Timer, ManyStartsAndStopsGiveFreshIdentifiers) {
  std::set<std::uint32_t> ids;
  for (int i = 0; i < 300; ++i) {
    Probe p;
    const std::uint32_t id = Start(p, 1);
    ASSERT_NE(id, 0u);
    EXPECT_TRUE(ids.insert(id).second) << "identifier " << id << " given twice";
    if (i % 3 == 0) WaitFor([&] { return p.ticks > 0; });  // some are stopped before their first tick
    EXPECT_EQ(timeKillEvent(id), TIMERR_NOERROR);
    EXPECT_EQ(timeKillEvent(id), MMSYSERR_ERROR);
    EXPECT_EQ(p.inside, 0);
    EXPECT_EQ(p.overlaps, 0);
  }
}

TEST(Timer, RefusesWhatItCannotRun) {
  Probe p;
  auto user = reinterpret_cast<std::uintptr_t>(&p);
  EXPECT_EQ(timeSetEvent(0, 0, Tick, user, TIME_PERIODIC), 0u);
  EXPECT_EQ(timeSetEvent(40, 0, nullptr, user, TIME_PERIODIC), 0u);
  EXPECT_EQ(timeSetEvent(40, 0, Tick, user, 0), 0u);  // one-shot timers are not ours
  EXPECT_EQ(timeKillEvent(0), MMSYSERR_ERROR);
  EXPECT_EQ(timeKillEvent(0xFFFFFFFFu), MMSYSERR_ERROR);
  std::this_thread::sleep_for(5ms);
  EXPECT_EQ(p.ticks, 0);
}

TEST(Timer, NextTickFollowsTheLastDeadlineOrComesAtOnceWhenLate) {
  struct Case {
    int previous, period, now, next;
  } cases[] = {
      {100, 40, 101, 140},  // on time: one period on
      {100, 40, 139, 140},
      {100, 40, 140, 140},
      {100, 40, 250, 250},  // a long tick: straight on, the missed periods dropped
      {0, 1, 0, 1},
  };
  using ms = std::chrono::milliseconds;
  using TP = std::chrono::time_point<std::chrono::steady_clock, ms>;
  for (const auto& c : cases)
    EXPECT_EQ(NextDeadline(TP(ms(c.previous)), ms(c.period), TP(ms(c.now))), TP(ms(c.next)))
        << c.previous << " " << c.period << " " << c.now;
}

TEST(Clock, CountsMillisecondsOfTheMonotonicClock) {
  const auto before = std::chrono::steady_clock::now();
  const std::uint32_t t1 = timeGetTime();
  std::this_thread::sleep_for(20ms);
  const std::uint32_t t2 = timeGetTime();
  const auto after = std::chrono::steady_clock::now();
  const auto span = std::chrono::duration_cast<std::chrono::milliseconds>(after - before).count();
  const std::uint32_t elapsed = t2 - t1;  // wraps like the engine's frame-rate arithmetic
  EXPECT_GE(elapsed, 20u);
  EXPECT_LE(elapsed, static_cast<std::uint32_t>(span) + 1);
  std::uint32_t last = timeGetTime();
  for (int i = 0; i < 1000; ++i) {
    const std::uint32_t now = timeGetTime();
    EXPECT_LT(now - last, 1000u);  // never runs backwards
    last = now;
  }
}
