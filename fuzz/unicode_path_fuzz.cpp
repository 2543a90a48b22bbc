// Any bytes (UTF-8 or not) through t_ConvertUniCode and the path helpers.
#include <string>

#include "app/log.h"
#include "files/fileio.h"
#include "input/panels.h"
#include "fuzz/fuzz_support.h"
#include "terminal/text.h"
#include "terminal/unicode.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // The conversion logs every character without a code.
    static std::FILE* nowhere = std::fopen("/dev/null", "w");
    kt::setLogStream(nowhere);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);

    // Every result is a font code: valid UTF-8 of scalars below 256. Without a missing
    // character no code 127 appears that the input did not hold.
    auto [converted, missing] = t_ConvertUniCode(text);
    FUZZ_CHECK(kt::isValidUtf8(converted));
    bool any127 = false;
    kt::forEachScalar(converted, [&](uint32_t c) {
        FUZZ_CHECK(c < 256);
        any127 = any127 || c == 127;
    });
    if (!missing && any127) FUZZ_CHECK(text.find('\x7f') != std::string::npos);
    if (text.empty()) FUZZ_CHECK(converted.empty() && !missing);
    FUZZ_CHECK(t_ConvertUniCode(text) == std::make_pair(converted, missing));

    // The parts of a path put it together again.
    const std::string directory = f_PathDirectory(text), name = f_PathName(text);
    const std::string extension = f_PathExtension(text), base = f_PathBaseName(text);
    FUZZ_CHECK(directory + name == text);
    FUZZ_CHECK(directory.empty() || directory.back() == '/');
    FUZZ_CHECK(name == base || name == base + "." + extension);
    FUZZ_CHECK(f_PathName(name) == name && f_PathDirectory(name).empty());
    FUZZ_CHECK(f_PathExtension(name) == extension);

    // A path handed out as a file URL comes back as itself (composed where it is UTF-8).
    const std::string back = kt::panelUrlToPath(kt::pathToFileUrl(text));
    FUZZ_CHECK(back == (kt::isValidUtf8(text) ? kt::normalizeC(text) : text));
    return 0;
}
