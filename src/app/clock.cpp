#include "app/clock.h"

#include <chrono>

namespace kt {
namespace {
// Seconds from 1 January 1970 to 1 January 2001, both at 00:00 UTC.
constexpr int64_t referenceOffsetSeconds = 978307200;

int64_t sinceReference(int64_t unitsPerSecond) {
    auto now = std::chrono::duration_cast<std::chrono::microseconds>(
                   std::chrono::system_clock::now().time_since_epoch())
                   .count();
    int64_t sinceRef = now - referenceOffsetSeconds * 1000000;
    return sinceRef / (1000000 / unitsPerSecond);
}
}  // namespace

int64_t milliseconds() { return sinceReference(1000); }
int64_t microseconds() { return sinceReference(1000000); }

}  // namespace kt
