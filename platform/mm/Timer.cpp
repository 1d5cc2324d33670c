// The periodic timer: each timer ticks on a thread of its own.
#include <pthread.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <unordered_map>

#include "platform/mm/MMSystem.h"
#include "platform/mm/TimerSchedule.h"

namespace mm {

namespace {

using Clock = std::chrono::steady_clock;

struct Timer {
  std::uint32_t id = 0;
  std::chrono::milliseconds delay{0};
  LPTIMECALLBACK callback = nullptr;
  std::uintptr_t user = 0;
  std::mutex mutex;
  std::condition_variable wake;
  bool stop = false;  // guarded by `mutex`
  std::thread thread;
  std::thread::id threadId;  // read only by timeKillEvent
};

struct Registry {
  std::mutex mutex;
  std::unordered_map<std::uint32_t, std::shared_ptr<Timer>> timers;
  std::uint64_t lastId = 0;  // identifiers are never given out twice
};

// Never destroyed: a timer still running when the process ends must not meet a dead registry.
Registry& Timers() {
  static Registry* registry = new Registry;
  return *registry;
}

void Run(const std::shared_ptr<Timer>& t) {
  pthread_setname_np(pthread_self(), "sorvanta-timer");
  auto deadline = Clock::now() + t->delay;
  std::unique_lock lock(t->mutex);
  for (;;) {
    if (t->wake.wait_until(lock, deadline, [&] { return t->stop; })) return;
    lock.unlock();
    t->callback(t->id, 0, t->user, 0, 0);
    lock.lock();
    if (t->stop) return;
    deadline = NextDeadline(deadline, t->delay, Clock::now());
  }
}

}  // namespace

std::uint32_t timeSetEvent(std::uint32_t delayMs, std::uint32_t /*resolution*/, LPTIMECALLBACK callback,
                           std::uintptr_t user, std::uint32_t flags) {
  if (delayMs == 0 || !callback || !(flags & TIME_PERIODIC)) return 0;
  auto t = std::make_shared<Timer>();
  t->delay = std::chrono::milliseconds(delayMs);
  t->callback = callback;
  t->user = user;
  Registry& r = Timers();
  std::lock_guard lock(r.mutex);
  if (r.lastId >= UINT32_MAX) return 0;
  t->id = static_cast<std::uint32_t>(++r.lastId);
  try {
    t->thread = std::thread(Run, t);
  } catch (const std::system_error&) {
    return 0;
  }
  t->threadId = t->thread.get_id();
  r.timers.emplace(t->id, t);
  return t->id;
}

MMRESULT timeKillEvent(std::uint32_t timerId) {
  std::shared_ptr<Timer> t;
  {
    Registry& r = Timers();
    std::lock_guard lock(r.mutex);
    auto it = r.timers.find(timerId);
    if (it == r.timers.end()) return MMSYSERR_ERROR;
    t = std::move(it->second);
    r.timers.erase(it);
  }
  {
    std::lock_guard lock(t->mutex);
    t->stop = true;
  }
  t->wake.notify_all();
  if (std::this_thread::get_id() == t->threadId) {
    t->thread.detach();  // killed from its own tick: the thread ends when the tick returns
  } else {
    t->thread.join();
  }
  return TIMERR_NOERROR;
}

std::uint32_t timeGetTime() {
  const auto now = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now().time_since_epoch());
  return static_cast<std::uint32_t>(now.count());
}

}  // namespace mm
