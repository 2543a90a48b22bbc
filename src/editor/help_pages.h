// The command line and the key list (key_help.h) as the pages people read: --help's usage,
// the manual page ostrakonix(1) and the README's key tables, all made from the same lists.
#pragma once

#include <string>

namespace editor {

// The usage lines and the options, as --help and an unknown option print them.
std::string usageText();

// The manual page in roff: the command line, the introduction and every key.
std::string manPage(const std::string& version);

// The README's key tables in Markdown, one table a section of the key list.
std::string keyTablesMarkdown();

// The README with its key tables (the lines between the two marks) made anew; empty when
// the marks are missing.
std::string readmeWithKeyTables(const std::string& readme);

}  // namespace editor
