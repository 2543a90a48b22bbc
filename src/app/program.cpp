#include "app/program.h"

std::string& ProgramName() {
    static std::string name = "VelProgram";
    return name;
}

std::string& ProgramKind() {
    static std::string kind = "Programm";
    return kind;
}

std::string& ProgramNotice() {
    static std::string notice;
    return notice;
}

int64_t& ProgramVersion() {
    static int64_t version = 100;
    return version;
}
