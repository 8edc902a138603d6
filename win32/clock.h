// A monotonic clock for timing and timeouts.
#pragma once

namespace kel::win32 {

// Seconds since an arbitrary start, from the performance counter: never goes back, and resolves
// well below a microsecond.
double secondsNow();

} // namespace kel::win32
