#include "support/toolkit_fixture.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "app/utf8.h"
#include "app/log.h"
#include "app/startup.h"
#include "display/setup.h"
#include "display/placement.h"

namespace testing_support {

host::HeadlessHost& headless() {
    static host::HeadlessHost* instance = [] {
        auto* h = new host::HeadlessHost(OSTRAKONIX_TEST_RESOURCES);
        h->start();
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

std::vector<std::string> LogCapture::lines() {
    std::vector<std::string> result;
    std::string all = text();
    size_t start = 0;
    while (start < all.size()) {
        size_t end = all.find('\n', start);
        if (end == std::string::npos) end = all.size();
        result.push_back(all.substr(start, end - start));
        start = end + 1;
    }
    return result;
}

TempFolder::TempFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "ostrakonix-test-XXXXXX").string();
    path_ = mkdtemp(pattern.data());
}

TempFolder::~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

t_Window& textWindow(uint8_t n, int64_t columns, int64_t lines) {
    LogCapture quiet;
    t_InitWindow(n, 24, columns, lines, 16, "DejaVuSansMono 16x32.font");
    t_WindowVisible(n, true);
    t_Window& w = kt::windowRecord(n);
    w.TextDisplayMode = 0;
    w.TextInverse = false;
    w.TextCursorLevel = 0;
    w.TextRedirectOutput = 1;
    return w;
}

uint8_t cellCode(uint8_t n, int64_t x, int64_t y) {
    const t_Window& w = kt::windowRecord(n);
    return kt::display().memory[static_cast<size_t>(w.TextMemoryStart + (x - 1) + w.TextWidth * (y - 1))];
}

uint8_t cellColour(uint8_t n, int64_t x, int64_t y) {
    const t_Window& w = kt::windowRecord(n);
    return kt::display()
        .memory[static_cast<size_t>(w.TextMemoryStart + kt::textHalf(w) + (x - 1) + w.TextWidth * (y - 1))];
}

std::string screenLine(uint8_t n, int64_t y) {
    const t_Window& w = kt::windowRecord(n);
    std::vector<uint8_t> codes;
    for (int64_t x = 1; x <= w.TextWidth; ++x) codes.push_back(cellCode(n, x, y));
    while (!codes.empty() && codes.back() == 32) codes.pop_back();
    std::string out;
    for (uint8_t c : codes) out += kt::utf8Of(c);
    return out;
}

void writeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::vector<uint8_t> readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace testing_support

// Every test program runs on the headless host with the toolkit started.
int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    testing_support::headless();
    {
        testing_support::LogCapture quiet;
        app::startToolkit();
    }
    return RUN_ALL_TESTS();
}
