#include "platform/platform.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>

namespace host {
namespace {
std::atomic<Host*> current{nullptr};
}

Host& host() {
    Host* h = current.load(std::memory_order_acquire);
    if (!h) {
        std::fputs("host: no host has been set.\n", stderr);
        std::abort();
    }
    return *h;
}

void setHost(Host* instance) { current.store(instance, std::memory_order_release); }

bool hasHost() { return current.load(std::memory_order_acquire) != nullptr; }

}  // namespace host
