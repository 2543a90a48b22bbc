// The terminal host as a person over SSH meets it: the real editor on the terminal host in a
// pseudo-terminal, measured at the terminal's side. The bytes written for one cursor motion,
// for the frames after Esc (the header changes its layout) and for a full repaint, and the
// time from a key arriving to its frame being written. Colours as COLORTERM says (run it
// with COLORTERM=truecolor for the 24-bit sequences).
#include <benchmark/benchmark.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "app/log.h"
#include "editor/editor.h"
#include "hosts/terminal/terminal_host.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Terminal {
    int master = -1;
    int slave = -1;
};

// Reads until the terminal has been quiet for `quiet` (or `limit` has passed); the bytes read.
size_t drain(int fd, std::chrono::milliseconds quiet, std::chrono::milliseconds limit = std::chrono::seconds(5)) {
    size_t total = 0;
    const auto end = Clock::now() + limit;
    char buffer[65536];
    while (Clock::now() < end) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, int(quiet.count())) <= 0) break;
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n <= 0) break;
        total += size_t(n);
    }
    return total;
}

// The editor on the terminal host, started once for the whole run on a file of 64 KiB.
Terminal& editorTerminal() {
    static Terminal terminal = [] {
        static std::FILE* quiet = std::fopen("/dev/null", "w");
        kt::setLogStream(quiet);
        Terminal t;
        winsize size{};
        size.ws_col = 80;
        size.ws_row = 25;
        if (::openpty(&t.master, &t.slave, nullptr, nullptr, &size) != 0) {
            std::perror("openpty");
            std::exit(1);
        }
        char path[] = "/tmp/ostrakonix-terminal-bench-XXXXXX";
        const int fd = ::mkstemp(path);
        std::mt19937 random(7);
        std::string bytes(1 << 16, '\0');
        for (char& b : bytes) b = static_cast<char>(random());
        if (fd < 0 || ::write(fd, bytes.data(), bytes.size()) != ssize_t(bytes.size())) std::exit(1);
        ::close(fd);
        host::terminal::TerminalOptions options = host::terminal::optionsFromEnvironment(t.slave, t.slave);
        options.resourceFolder = OSTRAKONIX_BENCH_RESOURCES;
        std::thread([options, file = std::string(path)] {
            std::string error;
            host::terminal::runTerminal(options, editor::mainProgram, {file}, error);
            std::fprintf(stderr, "terminal host ended: %s\n", error.c_str());
            std::_Exit(1);
        }).detach();
        drain(t.master, std::chrono::milliseconds(500), std::chrono::seconds(10));
        ::unlink(path);
        return t;
    }();
    return terminal;
}

void send(int fd, const char* bytes) {
    if (::write(fd, bytes, std::strlen(bytes)) < 0) std::exit(1);
}

// Control+U and Control+H in turn: one byte right, one byte left.
void BM_CursorMotion(benchmark::State& state) {
    Terminal& t = editorTerminal();
    size_t bytes = 0, frames = 0;
    std::vector<double> latencies;
    bool right = true;
    for (auto _ : state) {
        const auto start = Clock::now();
        send(t.master, right ? "\x15" : "\x08");
        right = !right;
        pollfd p{t.master, POLLIN, 0};
        if (::poll(&p, 1, 2000) <= 0) {
            state.SkipWithError("no frame after the key");
            break;
        }
        const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
        state.SetIterationTime(elapsed);
        latencies.push_back(elapsed * 1000);
        bytes += drain(t.master, std::chrono::milliseconds(15));
        ++frames;
    }
    state.counters["bytes_per_motion"] = frames ? double(bytes) / double(frames) : 0;
    if (!latencies.empty()) {
        std::sort(latencies.begin(), latencies.end());
        state.counters["median_ms"] = latencies[latencies.size() / 2];
        state.counters["p95_ms"] = latencies[latencies.size() * 95 / 100];
        state.counters["worst_ms"] = latencies.back();
    }
}
BENCHMARK(BM_CursorMotion)->UseManualTime()->Iterations(300)->Unit(benchmark::kMillisecond);

// Esc steps through the four header layouts: most of the screen changes each time.
void BM_FrameAfterEsc(benchmark::State& state) {
    Terminal& t = editorTerminal();
    size_t bytes = 0, frames = 0, largest = 0;
    for (auto _ : state) {
        send(t.master, "\x1b");
        const size_t frame = drain(t.master, std::chrono::milliseconds(100));
        bytes += frame;
        largest = std::max(largest, frame);
        ++frames;
    }
    state.counters["bytes_per_frame"] = frames ? double(bytes) / double(frames) : 0;
    state.counters["largest_frame_bytes"] = double(largest);
}
BENCHMARK(BM_FrameAfterEsc)->Iterations(8)->Unit(benchmark::kMillisecond);

// Every cell drawn anew, as after a resize.
void BM_FullRepaint(benchmark::State& state) {
    Terminal& t = editorTerminal();
    size_t bytes = 0, frames = 0;
    bool wide = false;
    for (auto _ : state) {
        winsize size{};
        size.ws_col = wide ? 81 : 80;
        size.ws_row = 25;
        wide = !wide;
        ::ioctl(t.master, TIOCSWINSZ, &size);
        // The pseudo-terminal is no controlling terminal of this process: tell it ourselves.
        ::raise(SIGWINCH);
        bytes += drain(t.master, std::chrono::milliseconds(100));
        ++frames;
    }
    state.counters["bytes_per_repaint"] = frames ? double(bytes) / double(frames) : 0;
}
BENCHMARK(BM_FullRepaint)->Iterations(6)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    // The editor's threads are still running: leave without tearing down what they use.
    std::fflush(stdout);
    std::_Exit(0);
}
