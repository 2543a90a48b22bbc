// Input events: the key, menu and file queues, waiting for input, and the keyboard.
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

struct t_Event {
    int64_t Kind = 0;
    int64_t Index = 0;
    std::string Description;
    int64_t Value = 0;
    int64_t WindowX = 0;
    int64_t WindowY = 0;
    int64_t ClickX = 0;
    int64_t ClickY = 0;
    int64_t Mods = 0;
    uint8_t Window = 0;
    int64_t Time = 0;
    bool CloseBox = false;
    bool CapsLockPressed = false;
    bool ShiftPressed = false;
    bool ControlPressed = false;
    bool OptionPressed = false;
    bool CommandPressed = false;
    bool NumericPadPressed = false;
    bool HelpPressed = false;
    bool FnPressed = false;
    bool CursorKeyPressed = false;
    bool FunctionKeyPressed = false;
};

struct t_MenuEvent {
    int64_t Kind = 3;
    std::string MenuTitle;
    std::string ItemTitle;
    std::string ItemKeyChar;
    uint64_t ItemKeyMods = 0;
    int64_t ItemKeyAsc = 0;
    int64_t ItemAction = 0;
    int64_t Time = 0;
};

namespace kt {

// A first-in first-out queue whose list, flag and last-taken record are guarded together
// by one lock; the flag is set after an append is complete and polled by the program.
template <typename Record>
struct EventQueue {
    mutable std::mutex lock;
    std::deque<Record> items;
    std::atomic<bool> available{false};
    Record last{};

    void append(Record record) {
        std::lock_guard guard(lock);
        items.push_back(std::move(record));
        available.store(true, std::memory_order_release);
    }
    // Takes the front record into `last`; false when the queue is empty.
    bool take(Record& into) {
        std::lock_guard guard(lock);
        if (items.empty()) {
            available.store(false, std::memory_order_release);
            return false;
        }
        last = std::move(items.front());
        items.pop_front();
        available.store(!items.empty(), std::memory_order_release);
        into = last;
        return true;
    }
    size_t size() const {
        std::lock_guard guard(lock);
        return items.size();
    }
    std::vector<Record> snapshot() const {
        std::lock_guard guard(lock);
        return {items.begin(), items.end()};
    }
    Record lastTaken() const {
        std::lock_guard guard(lock);
        return last;
    }
    void clear() {
        std::lock_guard guard(lock);
        items.clear();
        available.store(false, std::memory_order_release);
    }
};

EventQueue<t_Event>& keyQueue();
EventQueue<t_MenuEvent>& menuQueue();
EventQueue<t_Event>& mouseQueue();
EventQueue<t_Event>& fileQueue();

// The one way the program waits for input: polls `ready` every 10 milliseconds and tells
// the host each time that the program is idle until then.
void waitUntil(const std::function<bool()>& ready);
// Whether any input waits in a queue (the headless host's idle test).
bool inputPending();

// Builds the modifier part of an event from host modifier flags.
void applyModifiers(t_Event& event, uint64_t flags);

}  // namespace kt

// Accessors. Queues are read as copies taken under their lock.
std::atomic<bool>& t_EventAvailable();
std::atomic<bool>& t_MenuEventAvailable();
std::vector<t_Event> t_EventQueue();
std::vector<t_MenuEvent> t_MenuEventQueue();
t_Event t_LastEvent();
std::atomic<bool>& t_KeyIsDown();
std::atomic<bool>& t_CapsLockPressed();
std::atomic<bool>& t_ShiftPressed();
std::atomic<bool>& t_ControlPressed();
std::atomic<bool>& t_OptionPressed();
std::atomic<bool>& t_CommandPressed();
std::atomic<bool>& t_FnPressed();

// The value of the next key event, −1 when none is waiting.
int64_t t_GetEvent();
// Waits for a key (with the default window's cursor shown) and returns it as a string of
// one character.
std::string t_GetKey();
// Builds and queues the key event of a host key press in graphic window `window`.
void t_KeyHandler(uint8_t window, int64_t keyCode, const std::string& characters, uint64_t modifierFlags);
