// Writes the pages made from the editor's key list:
//   keydoc man VERSION FILE   the manual page ostrakonix(1) for that version, into FILE
//   keydoc readme README.md   the README with its key tables made anew, in place
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

#include "editor/help_pages.h"

namespace {

bool write(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    return bool(out);
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "man" && argc == 4) {
        if (write(argv[3], editor::manPage(argv[2]))) return 0;
        std::fprintf(stderr, "keydoc: %s cannot be written\n", argv[3]);
        return 1;
    }
    if (mode == "readme" && argc == 3) {
        std::ifstream in(argv[2], std::ios::binary);
        const std::string readme((std::istreambuf_iterator<char>(in)), {});
        const std::string made = editor::readmeWithKeyTables(readme);
        if (made.empty()) {
            std::fprintf(stderr, "keydoc: %s has no marks around its key tables\n", argv[2]);
            return 1;
        }
        if (write(argv[2], made)) return 0;
        std::fprintf(stderr, "keydoc: %s cannot be written\n", argv[2]);
        return 1;
    }
    std::fputs("usage: keydoc man VERSION FILE | keydoc readme README.md\n", stderr);
    return 2;
}
