#include "input/file_events.h"

#include <atomic>

#include "app/clock.h"
#include "app/file_primitives.h"
#include "app/log.h"
#include "app/threads.h"
#include "input/entries.h"

namespace {
std::atomic<bool> documentLog{false};
}  // namespace

bool t_FileEventAvailable() { return kt::fileQueue().available(); }
std::vector<t_Event> t_FileEventQueue() { return kt::fileQueue().snapshot(); }
t_Event t_LastFileEvent() { return kt::fileQueue().lastTaken(); }

std::function<void()>& t_ProgramFileHandler() {
    static std::function<void()> handler = [] {};
    return handler;
}

bool t_DocumentLog() { return documentLog.load(); }
void t_SetDocumentLog(bool on) { documentLog = on; }

void f_FileEventHandler(const std::string& path, int64_t type) {
    t_Event event;
    event.Kind = 4;
    event.Index = type;
    event.Description = path;
    event.Value = kt::fileStatus(path);
    event.Time = kt::milliseconds();
    const int64_t status = event.Value;
    kt::fileQueue().append(std::move(event));
    if (t_DocumentLog())
        kt::logLine("f_FileEventHandler: Type = " + std::to_string(type) + ", Status = " + std::to_string(status) +
                    ", Path = " + path);
    startasyncprocess([] {
        if (kt::threadNumber() >= 3) kt::nameThread("t_StartEventFile");
        t_ProgramFileHandler()();
    });
    if (t_DocumentLog()) kt::logLine("f_FileEventHandler: Calling file handler asynchronously.");
}

std::string t_GetFileEvent() {
    t_Event event;
    if (!kt::fileQueue().take(event)) return {};
    return event.Description;
}
