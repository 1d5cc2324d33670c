#pragma once
// When the periodic timer's next tick is due.
#include <algorithm>

namespace mm {

// A tick that ran late pushes the next one back rather than letting the missed ticks run back to
// back: the next tick is one period after the last deadline, or at once if that has passed.
template <class TimePoint, class Duration>
TimePoint NextDeadline(TimePoint previous, Duration period, TimePoint now) {
  return std::max(previous + period, now);
}

}  // namespace mm
