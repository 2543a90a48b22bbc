// The toolkit started once on a headless host with its log going nowhere, for benchmarks.
#pragma once

#include <cstdio>

#include "app/log.h"
#include "app/startup.h"
#include "hosts/headless/headless_host.h"

namespace bench {

inline host::HeadlessHost& startHeadlessToolkit() {
    static std::FILE* quiet = std::fopen("/dev/null", "w");
    kt::setLogStream(quiet);
    auto* host = new host::HeadlessHost(OSTRAKONIX_BENCH_RESOURCES);  // lives as long as the process
    host->start();
    app::startToolkit();
    return *host;
}

}  // namespace bench
