// Control letters, Return, Escape, Backspace and Right as the editor's scripts type them, and
// Tab and Control-U from a real keyboard in the Qt host's suite, are checked there.
#include <gtest/gtest.h>

#include <algorithm>

#include "input/entries.h"
#include "input/events.h"
#include "support/toolkit_fixture.h"

using namespace testing_support;
namespace mod = host::modifier;

namespace {
// Presses a key in window 0 and returns the event it queued (Kind 0 when none).
t_Event press(int64_t key, const std::string& characters, uint64_t flags = 0) {
    kt::keyQueue().clear();
    headless().runOnMainSync([&] { viewKeyDown(0, host::KeyEvent{key, characters, flags}); });
    auto queued = t_EventQueue();
    return queued.empty() ? t_Event{} : queued.front();
}
}  // namespace

TEST(Keyboard, KeysBecomeCodesByTheRuleOrTheTableKeypadKeysRouteAndEventsAreTakenInOrder) {
    t_Window& w = textWindow();
    using Case = std::tuple<int64_t, const char*, uint64_t, int64_t>;  // key, characters, flags, code (-1: none)
    // clang-format off
    const Case cases[] = {
        // The general rule: Latin characters, control characters, function keys.
        {0, "a", 0, 'a'}, {33, "", 0, 0} /* dead key */, {37, "\xC5\x82", 0, -1} /* U+0142 has no code */,
        {39, "\xC3\xA4", 0, 0xE4}, {111, "\xEF\x9C\x8F", 0, 140} /* F12 */,
        // The key table: cursor keys, tabs, option characters and the keypad.
        {124, "x", 0, 21}, {115, "", 0, 2}, {117, "", 0, 7}, {48, "\x19", mod::shift, 20},
        {14, "\xE2\x82\xAC", mod::option, 0xA4},
        {35, "\xE2\x88\x8F", mod::option | mod::shift, 0xD0}, {24, "", mod::shift, 0x60}, {24, "", 0, 0xB4},
        {37, "\x0C", mod::option | mod::control, 0}, {37, "\x0C", mod::control, 12}, {76, "\x03", 0, 13},
        {84, "2", mod::option | mod::numericPad, 0xB2}, {91, "8", mod::numericPad, '8'},
        {91, "8", mod::option | mod::control | mod::numericPad, 0xE6}};
    // clang-format on
    for (auto [key, characters, flags, code] : cases) {
        const t_Event event = press(key, characters, flags);
        EXPECT_EQ(std::tuple(event.Kind, event.Value), std::tuple(code < 0 ? 0 : 1, std::max<int64_t>(code, 0)))
            << "key " << key << " flags " << flags;
    }
    t_Event f1 = press(122, "\xEF\x9C\x84", mod::function);
    EXPECT_EQ(std::tuple(f1.Value, f1.FunctionKeyPressed, f1.FnPressed, f1.Description),
              std::tuple(129, true, true, "\xEF\x9C\x84"));
    t_Event up = press(126, "\xEF\x9C\x80", mod::numericPad | mod::function);
    EXPECT_EQ(std::tuple(up.Value, up.CursorKeyPressed, up.NumericPadPressed, up.Mods),
              std::tuple(11, true, true, (mod::numericPad | mod::function) >> 16));
    for (auto [key, characters, redirect] : {std::tuple{91, "8", 2}, {89, "7", 0}, {92, "9", 1}}) {
        EXPECT_EQ(press(key, characters, mod::control | mod::numericPad).Kind, 0);
        EXPECT_EQ(w.TextRedirectOutput, redirect);
    }

    // Events are taken in order, none is lost, and ignored windows drop keys.
    kt::keyQueue().clear();
    headless().runOnMainSync([] {
        for (int i = 0; i < 200000; ++i) viewKeyDown(0, {0, std::string(1, static_cast<char>('a' + i % 26)), 0});
    });
    EXPECT_TRUE(t_EventAvailable() && t_KeyIsDown());
    EXPECT_EQ(t_GetKey(), "a");
    for (int i = 1; i < 200000; ++i) ASSERT_EQ(t_GetEvent(), 'a' + i % 26);
    // An empty queue gives -1 and leaves the last event.
    EXPECT_FALSE(t_EventAvailable());
    EXPECT_EQ(t_GetEvent(), -1);
    EXPECT_EQ(t_LastEvent().Description, "h");
    headless().runOnMainSync([] { viewKeyUp(0); });
    EXPECT_FALSE(t_KeyIsDown());
    w.IgnoreEvents = true;
    EXPECT_EQ(press(0, "a").Kind, 0);
    EXPECT_TRUE(t_KeyIsDown());
    w.IgnoreEvents = false;
    LogCapture log;
    headless().runOnMainSync([] { viewKeyDown(6, {0, "a", 0}); });
    EXPECT_EQ(log.text(), "viewKeyDown: Graphic window (6) not initialized.\n");
    headless().runOnMainSync([] { viewFlagsChanged(0, mod::shift | mod::capsLock); });
    EXPECT_TRUE(t_ShiftPressed() && t_CapsLockPressed() && !t_ControlPressed());
}
