#include "input/events.h"

#include <chrono>
#include <thread>

#include "app/log.h"
#include "display/window.h"
#include "host/host.h"
#include "terminal/cursor.h"

namespace kt {

EventQueue<t_Event>& keyQueue() {
    static auto* queue = new EventQueue<t_Event>;  // lives as long as the threads that use it
    return *queue;
}

EventQueue<t_MenuEvent>& menuQueue() {
    static auto* queue = new EventQueue<t_MenuEvent>;  // lives as long as the threads that use it
    return *queue;
}

EventQueue<t_Event>& mouseQueue() {
    static auto* queue = new EventQueue<t_Event>;  // lives as long as the threads that use it
    return *queue;
}

EventQueue<t_Event>& fileQueue() {
    static auto* queue = new EventQueue<t_Event>;  // lives as long as the threads that use it
    return *queue;
}

void waitUntil(const std::function<bool()>& ready) {
    while (!ready()) {
        if (host::hasHost()) host::host().programIdle();
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

bool inputPending() {
    return keyQueue().size() > 0 || menuQueue().size() > 0 || mouseQueue().size() > 0 || fileQueue().size() > 0;
}

void applyModifiers(t_Event& e, uint64_t flags) {
    e.Mods = static_cast<int64_t>((flags >> 16) & 0xFFFF);
    e.CapsLockPressed = flags & host::modifier::capsLock;
    e.ShiftPressed = flags & host::modifier::shift;
    e.ControlPressed = flags & host::modifier::control;
    e.OptionPressed = flags & host::modifier::option;
    e.CommandPressed = flags & host::modifier::command;
    e.NumericPadPressed = flags & host::modifier::numericPad;
    e.HelpPressed = flags & host::modifier::help;
    e.FnPressed = flags & host::modifier::function;
}

}  // namespace kt

std::atomic<bool>& t_EventAvailable() { return kt::keyQueue().available; }
std::atomic<bool>& t_MenuEventAvailable() { return kt::menuQueue().available; }
std::vector<t_Event> t_EventQueue() { return kt::keyQueue().snapshot(); }
std::vector<t_MenuEvent> t_MenuEventQueue() { return kt::menuQueue().snapshot(); }
t_Event t_LastEvent() { return kt::keyQueue().lastTaken(); }

#define KT_FLAG(name)                    \
    std::atomic<bool>& name() {          \
        static std::atomic<bool> flag{}; \
        return flag;                     \
    }
KT_FLAG(t_KeyIsDown)
KT_FLAG(t_CapsLockPressed)
KT_FLAG(t_ShiftPressed)
KT_FLAG(t_ControlPressed)
KT_FLAG(t_OptionPressed)
KT_FLAG(t_CommandPressed)
KT_FLAG(t_FnPressed)
#undef KT_FLAG

int64_t t_GetEvent() {
    if (!t_EventAvailable().load(std::memory_order_acquire)) return -1;
    t_Event event;
    if (!kt::keyQueue().take(event)) return -1;
    return event.Value;
}

std::string t_GetKey() {
    for (;;) {
        if (!t_EventAvailable()) {
            uint8_t window = kt::display().defaultWindow.load();
            t_CursorOn(window);
            kt::waitUntil([] { return t_EventAvailable().load(); });
            t_CursorOff(window);
        }
        int64_t value = t_GetEvent();
        if (value >= 0) {
            bool scalar = value <= 0x10FFFF && !(value >= 0xD800 && value <= 0xDFFF);
            return kt::utf8Of(scalar ? static_cast<uint32_t>(value) : 0);
        }
    }
}
