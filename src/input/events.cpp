#include "input/events.h"

#include <chrono>
#include <condition_variable>
#include <thread>

#include "app/log.h"
#include "app/utf8.h"
#include "display/window.h"
#include "input/keys.h"
#include "input/mouse.h"
#include "input/wheel.h"
#include "platform/platform.h"
#include "terminal/cursor.h"
#include "terminal/print.h"

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

namespace {

// Counts the wake-ups: a waiter that saw the count before it looked at the queues cannot miss
// an input queued after that look.
struct Wake {
    std::mutex lock;
    std::condition_variable signal;
    uint64_t count = 0;
};

Wake& wake() {
    static auto* made = new Wake;  // lives as long as the threads that use it
    return *made;
}

}  // namespace

void wakeWaiting() {
    Wake& w = wake();
    {
        std::lock_guard guard(w.lock);
        ++w.count;
    }
    w.signal.notify_all();
}

void waitUntil(const std::function<bool()>& ready) {
    Wake& w = wake();
    for (;;) {
        uint64_t seen;
        {
            std::lock_guard guard(w.lock);
            seen = w.count;
        }
        if (ready()) return;
        if (host::hasHost()) host::host().programIdle();
        std::unique_lock guard(w.lock);
        w.signal.wait_for(guard, std::chrono::milliseconds(10), [&] { return w.count != seen; });
    }
}

bool inputPending() {
    return keyQueue().size() > 0 || menuQueue().size() > 0 || mouseQueue().size() > 0 || fileQueue().size() > 0 ||
           t_WheelEventAvailable() || t_MouseDragAvailable();
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

bool t_EventAvailable() { return kt::keyQueue().available(); }
bool t_MenuEventAvailable() { return kt::menuQueue().available(); }
std::vector<t_Event> t_EventQueue() { return kt::keyQueue().snapshot(); }
std::vector<t_MenuEvent> t_MenuEventQueue() { return kt::menuQueue().snapshot(); }
t_Event t_LastEvent() { return kt::keyQueue().lastTaken(); }

namespace {
// The modifier keys and the key-held flag: written by the main thread, read by any.
struct KeyState {
    std::atomic<bool> down{false}, capsLock{false}, shift{false}, control{false}, option{false}, command{false},
        function{false};
};
KeyState& keyState() {
    static KeyState state;
    return state;
}
}  // namespace

bool t_KeyIsDown() { return keyState().down.load(); }
bool t_CapsLockPressed() { return keyState().capsLock.load(); }
bool t_ShiftPressed() { return keyState().shift.load(); }
bool t_ControlPressed() { return keyState().control.load(); }
bool t_OptionPressed() { return keyState().option.load(); }
bool t_CommandPressed() { return keyState().command.load(); }
bool t_FnPressed() { return keyState().function.load(); }

namespace kt {

void setModifierState(uint64_t flags) {
    KeyState& k = keyState();
    k.capsLock = flags & host::modifier::capsLock;
    k.shift = flags & host::modifier::shift;
    k.control = flags & host::modifier::control;
    k.option = flags & host::modifier::option;
    k.command = flags & host::modifier::command;
    k.function = flags & host::modifier::function;
}

void setKeyIsDown(bool down) { keyState().down = down; }

void outputPause() {
    auto& keys = keyQueue();
    if (!keys.available()) return;
    // Counted before the keys are dropped: a menu choice made from then on ends the pause.
    const size_t menus = menuQueue().size();
    if (!keys.clearIfNewest([](const t_Event& e) { return e.Value == key::controlS; })) return;
    waitUntil([&] { return keys.size() > 0 || menuQueue().size() != menus; });
    // The key that ends the pause is thrown away; taking it keeps the flag true when
    // another key arrived meanwhile.
    t_Event ending;
    keys.take(ending);
}

}  // namespace kt

// Printing pauses through the keyboard's queue; the hook is set as soon as the queues exist
// in the program, which is whenever a key can arrive at all.
[[maybe_unused]] static const bool outputPauseInstalled = (kt::setOutputPause(&kt::outputPause), true);

int64_t t_GetEvent() {
    if (!t_EventAvailable()) return -1;
    t_Event event;
    if (!kt::keyQueue().take(event)) return -1;
    return event.Value;
}

std::string t_GetKey() {
    for (;;) {
        if (!t_EventAvailable()) {
            uint8_t window = kt::display().defaultWindow.load();
            t_CursorOn(window);
            kt::waitUntil([] { return t_EventAvailable(); });
            t_CursorOff(window);
        }
        int64_t value = t_GetEvent();
        if (value >= 0) {
            bool scalar = value <= 0x10FFFF && !(value >= 0xD800 && value <= 0xDFFF);
            return kt::utf8Of(scalar ? static_cast<uint32_t>(value) : 0);
        }
    }
}
