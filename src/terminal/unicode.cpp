#include "terminal/unicode.h"

#include "app/log.h"
#include "terminal/text.h"

namespace {

// The code (or codes) of a character of 256 and above; empty when it has none.
const char* codesAbove255(uint32_t u) {
    // clang-format off
    switch (u) {
    case 338: return "Oe";
    case 339: return "oe";
    case 730: return "\u00B0";
    case 956: return "\u00B5";
    case 960: return "\u00F0";
    case 8211: return "-";
    case 8212: return "\u009A";
    case 8216: return "`";
    case 8217:
    case 8218: return "\u00B4";
    case 8220:
    case 8221:
    case 8222: return "\"";
    case 8224: return "\u00BD";
    case 8226: return "\u00B8";
    case 8230: return "\u00BF";
    case 8249: return "<";
    case 8250: return ">";
    case 8304: return "\u00D8";
    case 8308: return "\u00AA";
    case 8309: return "\u00D7";
    case 8310: return "\u00BA";
    case 8311: return "\u00E5";
    case 8312: return "\u00E6";
    case 8313: return "\u00BC";
    case 8364: return "\u00A4";
    case 8482: return "\u00A8";
    case 8710: return "\u00FE";
    case 8712: return "\u00A1";
    case 8719: return "\u00D0";
    case 8721: return "\u00DD";
    case 8730: return "\u00FD";
    case 8734: return "\u00FF";
    case 8747: return "\u00DE";
    case 8800: return "\u00AD";
    case 8804: return "\u00C5";
    case 8805: return "\u00C6";
    default: return "";
    }
    // clang-format on
}

}  // namespace

std::pair<std::string, bool> t_ConvertUniCode(const std::string& text) {
    const std::string composed = kt::normalizeC(text);
    if (composed.empty()) return {"", false};
    std::string out;
    out.reserve(composed.size() + 8);
    bool missing = false;
    kt::forEachScalar(composed, [&](uint32_t u) {
        if (u < 256) {
            switch (u) {
            case 10:
                out += '\r';
                break;
            case 198:
                out += "Ae";
                break;
            case 216:
                out += '0';
                break;
            case 230:
                out += "ae";
                break;
            default:
                out += kt::utf8Of(u);
                break;
            }
            return;
        }
        if (const char* codes = codesAbove255(u); *codes) {
            out += codes;
            return;
        }
        out += '\x7F';
        missing = true;
        kt::logLine("t_ConvertUniCode: Missing Unicode " + kt::utf8Of(u) + " = " + std::to_string(u));
    });
    return {out, missing};
}


