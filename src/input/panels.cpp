#include "input/panels.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <thread>

#include "app/utf8.h"
#include "platform/platform.h"

namespace {

std::vector<std::string> splitTypes(const std::string& types) {
    std::vector<std::string> list;
    if (types.empty()) return list;
    size_t start = 0;
    for (;;) {
        size_t comma = types.find(',', start);
        list.push_back(types.substr(start, comma - start));
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    return list;
}

}  // namespace

namespace kt {

std::string panelUrlToPath(const std::string& url) {
    std::string decoded;
    decoded.reserve(url.size());
    auto hexValue = [](char c) -> int {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    };
    for (size_t i = 0; i < url.size(); ++i) {
        if (url[i] == '%' && i + 2 < url.size()) {
            int high = hexValue(url[i + 1]), low = hexValue(url[i + 2]);
            if (high >= 0 && low >= 0) {
                decoded += static_cast<char>(high * 16 + low);
                i += 2;
                continue;
            }
        }
        decoded += url[i];
    }
    // Composed to form C where the text is valid UTF-8; other bytes are kept as they are.
    if (kt::isValidUtf8(decoded)) decoded = kt::normalizeC(decoded);
    if (decoded.rfind("file://", 0) == 0) decoded.erase(0, 7);
    return decoded;
}

std::string pathToFileUrl(const std::string& path) {
    static const char digits[] = "0123456789ABCDEF";
    std::string url = "file://";
    for (unsigned char c : path) {
        bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '/' ||
                     c == '-' || c == '_' || c == '.' || c == '~';
        if (plain) {
            url += static_cast<char>(c);
        } else {
            url += '%';
            url += digits[c >> 4];
            url += digits[c & 15];
        }
    }
    return url;
}

}  // namespace kt

std::vector<std::string> f_OpenPanel(const std::string& title, const std::string& message,
                                     const std::string& fileTypes, bool multiple, bool files, bool folders) {
    host::OpenPanelRequest request;
    request.title = title;
    request.message = message;
    request.fileTypes = splitTypes(fileTypes);
    request.multiple = multiple;
    request.files = files;
    request.folders = folders;
    request.buttonText = folders ? "Wählen" : "Öffnen";
    std::vector<std::string> paths;
    for (const auto& url : host::host().runOpenPanel(request)) paths.push_back(kt::panelUrlToPath(url));
    return paths;
}

std::string f_SavePanel(const std::string& name, const std::string& title, const std::string& message,
                        const std::string& fileTypes) {
    host::SavePanelRequest request;
    request.name = name;
    request.title = title;
    request.message = message;
    request.fileTypes = splitTypes(fileTypes);
    request.buttonText = "Sichern";
    request.nameLabel = "Sichern unter:";
    std::string url = host::host().runSavePanel(request);
    return url.empty() ? std::string() : kt::panelUrlToPath(url);
}

bool f_PanelsAvailable() { return host::hasHost() && host::host().hasPanels(); }

namespace {
// Runs a panel on the main thread for a caller on another thread, which polls for the result.
std::string panelFromOtherThread(std::function<std::string()> panel) {
    using namespace std::chrono_literals;
    struct Slot {
        std::atomic<bool> done{false};
        std::string result;
    };
    auto slot = std::make_shared<Slot>();
    std::this_thread::sleep_for(20ms);
    host::host().runOnMainAsync([slot, panel = std::move(panel)] {
        slot->result = panel();
        slot->done.store(true, std::memory_order_release);
    });
    while (!slot->done.load(std::memory_order_acquire)) std::this_thread::sleep_for(1ms);
    return slot->result;
}
}  // namespace

std::string f_OpenPanelPath(const std::string& title, const std::string& message, const std::string& fileTypes,
                            bool files, bool folders) {
    auto first = [=] {
        auto paths = f_OpenPanel(title, message, fileTypes, false, files, folders);
        return paths.empty() ? std::string() : paths.front();
    };
    if (host::host().isMainThread()) return first();
    return panelFromOtherThread(first);
}

std::string f_SavePanelFromAnyThread(const std::string& name, const std::string& title, const std::string& message,
                                     const std::string& fileTypes) {
    auto save = [=] { return f_SavePanel(name, title, message, fileTypes); };
    if (host::host().isMainThread()) return save();
    return panelFromOtherThread(save);
}
