// The toolkit's clock: the host's absolute time, seconds since 1 January 2001 00:00 UTC.
#pragma once

#include <cstdint>

namespace kt {

int64_t milliseconds();  // truncated toward zero
int64_t microseconds();

}  // namespace kt
