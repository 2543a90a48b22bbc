#include "support/toolkit_fixture.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "app/log.h"
#include "app/startup.h"

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
    stream_ = open_memstream(&buffer_, &size_);
    kt::setLogStream(stream_);
}

LogCapture::~LogCapture() {
    kt::setLogStream(nullptr);
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
