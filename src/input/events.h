// Input events: the key, menu and file queues, waiting for input, and the keyboard.
#pragma once

#include <algorithm>
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

// Wakes the program where it waits for input (waitUntil): called after every input is queued,
// so that a key is acted on at once rather than at the next poll.
void wakeWaiting();

// A first-in first-out queue whose list, flag and last-taken record are guarded together
// by one lock; the flag is set after an append is complete and polled by the program. Only
// the queue writes its flag, always under the lock, so the flag can't disagree with the list.
template <typename Record>
class EventQueue {
public:
    void append(Record record) {
        {
            std::lock_guard guard(lock_);
            items_.push_back(std::move(record));
            available_.store(true, std::memory_order_release);
        }
        wakeWaiting();
    }
    // Takes the front record into `last`; false when the queue is empty.
    bool take(Record& into) {
        return takeFirst([](const Record&) { return true; }, into);
    }
    // Whether a record that `matches` waits in the queue.
    template <typename Matches>
    bool holds(Matches&& matches) {
        std::lock_guard guard(lock_);
        return std::any_of(items_.begin(), items_.end(), matches);
    }
    // Takes the oldest record that `matches` into `last`; false when there is none.
    template <typename Matches>
    bool takeFirst(Matches&& matches, Record& into) {
        std::lock_guard guard(lock_);
        auto found = std::find_if(items_.begin(), items_.end(), matches);
        if (found == items_.end()) return false;
        last_ = std::move(*found);
        items_.erase(found);
        available_.store(!items_.empty(), std::memory_order_release);
        into = last_;
        return true;
    }
    // Empties the queue when its newest record is `newest`; true when it did.
    template <typename Test>
    bool clearIfNewest(Test&& newest) {
        std::lock_guard guard(lock_);
        if (items_.empty() || !newest(items_.back())) return false;
        items_.clear();
        available_.store(false, std::memory_order_release);
        return true;
    }
    bool available() const { return available_.load(std::memory_order_acquire); }
    size_t size() const {
        std::lock_guard guard(lock_);
        return items_.size();
    }
    std::vector<Record> snapshot() const {
        std::lock_guard guard(lock_);
        return {items_.begin(), items_.end()};
    }
    Record lastTaken() const {
        std::lock_guard guard(lock_);
        return last_;
    }
    void clear() {
        std::lock_guard guard(lock_);
        items_.clear();
        available_.store(false, std::memory_order_release);
    }

private:
    mutable std::mutex lock_;
    std::deque<Record> items_;
    std::atomic<bool> available_{false};
    Record last_{};
};

EventQueue<t_Event>& keyQueue();
EventQueue<t_MenuEvent>& menuQueue();
EventQueue<t_Event>& mouseQueue();
EventQueue<t_Event>& fileQueue();

// The one way the program waits for input: polls `ready` every 10 milliseconds, or at once
// when new input wakes it, and tells the host each time that the program is idle until then.
void waitUntil(const std::function<bool()>& ready);
// Whether any input waits in a queue (the headless host's idle test).
bool inputPending();

// Builds the modifier part of an event from host modifier flags.
void applyModifiers(t_Event& event, uint64_t flags);
// The modifier keys held, as the host reports them; and whether a key is held.
void setModifierState(uint64_t flags);
void setKeyIsDown(bool down);

// Output stops while the newest key is Control-S: the queued keys are dropped and the
// caller waits until the next key (thrown away) or a menu choice (kept).
void outputPause();

}  // namespace kt

// Accessors. Queues are read as copies taken under their lock; flags are read only here and
// set by the toolkit's own functions.
bool t_EventAvailable();
bool t_MenuEventAvailable();
std::vector<t_Event> t_EventQueue();
std::vector<t_MenuEvent> t_MenuEventQueue();
t_Event t_LastEvent();
bool t_KeyIsDown();
bool t_CapsLockPressed();
bool t_ShiftPressed();
bool t_ControlPressed();
bool t_OptionPressed();
bool t_CommandPressed();
bool t_FnPressed();

// The value of the next key event, −1 when none is waiting.
int64_t t_GetEvent();
// Waits for a key (with the default window's cursor shown) and returns it as a string of
// one character.
std::string t_GetKey();
// Builds and queues the key event of a host key press in graphic window `window`.
void t_KeyHandler(uint8_t window, int64_t keyCode, const std::string& characters, uint64_t modifierFlags);
