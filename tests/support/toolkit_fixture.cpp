#include "support/toolkit_fixture.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include "app/log.h"
#include "app/startup.h"
#include "app/utf8.h"
#include "display/placement.h"
#include "display/setup.h"
#include "input/events.h"

namespace testing_support {

host::HeadlessHost& headless() {
    static host::HeadlessHost* instance = [] {
        auto* h = new host::HeadlessHost(OSTRAKONIX_TEST_RESOURCES);
        h->start();
        LogCapture quiet;
        app::startToolkit();
        return h;
    }();
    return *instance;
}

LogCapture::LogCapture() {
    previous_ = kt::logStream();
    stream_ = open_memstream(&buffer_, &size_);
    kt::setLogStream(stream_);
}

LogCapture::~LogCapture() {
    // Captures nest: the one outside gets the log back.
    kt::setLogStream(previous_ == stdout ? nullptr : previous_);
    std::fclose(stream_);
    std::free(buffer_);
}

std::string LogCapture::text() {
    std::fflush(stream_);
    return std::string(buffer_, size_);
}

TempFolder::TempFolder(const std::string& parent)
    : path_((parent.empty() ? std::filesystem::temp_directory_path().string() : parent) + "/ostrakonix-test-XXXXXX") {
    mkdtemp(path_.data());
}

TempFolder::~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

t_Window& textWindow(uint8_t n, int64_t columns, int64_t lines) {
    LogCapture quiet;
    t_InitWindow(n, 24, columns, lines, 16, "DejaVuSansMono 16x32.font");
    // The first set-up starts the update thread, which logs its start: not into a later capture.
    waitUntil([] { return kt::display().updateThreadRunning.load(); });
    t_WindowVisible(n, true);
    t_Window& w = kt::windowRecord(n);
    w.TextDisplayMode = w.TextCursorLevel = 0;
    w.TextInverse = false;
    w.TextRedirectOutput = 1;
    return w;
}

uint8_t cellCode(uint8_t n, int64_t x, int64_t y) {
    const t_Window& w = kt::windowRecord(n);
    return kt::display().memory[static_cast<size_t>(w.TextMemoryStart + (x - 1) + w.TextWidth * (y - 1))];
}

// The colour bytes follow the codes half the text block further on.
uint8_t cellColour(uint8_t n, int64_t x, int64_t y) { return cellCode(n, x + kt::textHalf(kt::windowRecord(n)), y); }

std::string cells(uint8_t n, int64_t y, int64_t from, int64_t to) {
    std::string out;
    for (int64_t x = from; x <= to; ++x) out += static_cast<char>(cellCode(n, x, y));
    return out;
}

std::string screenLine(uint8_t n, int64_t y) {
    std::string codes = cells(n, y, 1, kt::windowRecord(n).TextWidth);
    codes.erase(codes.find_last_not_of(' ') + 1);
    return kt::latin1ToUtf8({codes.begin(), codes.end()});
}

bool waitUntil(const std::function<bool()>& done) {
    for (int i = 0; i < 5000 && !done(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return done();
}

void queueKey(int64_t value) { kt::keyQueue().append({.Kind = 1, .Index = 0, .Description = {}, .Value = value}); }

void writeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::ssize(bytes));
}

std::vector<uint8_t> readFile(const std::string& path) {
    return {std::istreambuf_iterator<char>(std::ifstream(path, std::ios::binary).rdbuf()), {}};
}

}  // namespace testing_support

// Every test program runs on the headless host with the toolkit started.
int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    testing_support::headless();
    return RUN_ALL_TESTS();
}
