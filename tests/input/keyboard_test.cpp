#include <gtest/gtest.h>

#include "app/entries.h"
#include "display/window.h"
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

TEST(Keyboard, TheGeneralRuleTakesLatinCharactersAndFunctionKeys) {
    textWindow();
    EXPECT_EQ(press(0, "a").Value, 'a');
    EXPECT_EQ(press(32, "\x15", mod::control).Value, 21);
    EXPECT_EQ(press(36, "\r").Value, 13);
    EXPECT_EQ(press(53, "\x1B").Value, 27);
    EXPECT_EQ(press(39, "\xC3\xA4").Value, 0xE4);
    t_Event dead = press(33, "");
    EXPECT_EQ(dead.Kind, 1);
    EXPECT_EQ(dead.Value, 0);
    EXPECT_EQ(press(37, "\xC5\x82").Kind, 0);  // U+0142 has no code
    t_Event f1 = press(122, "\xEF\x9C\x84", mod::function);
    EXPECT_EQ(f1.Value, 129);
    EXPECT_TRUE(f1.FunctionKeyPressed);
    EXPECT_TRUE(f1.FnPressed);
    EXPECT_EQ(f1.Description, "\xEF\x9C\x84");
    EXPECT_EQ(press(111, "\xEF\x9C\x8F").Value, 140);  // F12
}

TEST(Keyboard, TheKeyTableCatchesCursorKeysTabsAndOptionCharacters) {
    textWindow();
    t_Event up = press(126, "\xEF\x9C\x80", mod::numericPad | mod::function);
    EXPECT_EQ(up.Value, 11);
    EXPECT_TRUE(up.CursorKeyPressed);
    EXPECT_TRUE(up.NumericPadPressed);
    EXPECT_EQ(up.Mods, (mod::numericPad | mod::function) >> 16);
    EXPECT_EQ(press(124, "x").Value, 21);
    EXPECT_EQ(press(115, "").Value, 2);
    EXPECT_EQ(press(117, "").Value, 7);
    EXPECT_EQ(press(51, "\x7F").Value, 127);
    EXPECT_EQ(press(48, "\t").Value, 9);
    EXPECT_EQ(press(48, "\x19", mod::shift).Value, 20);
    EXPECT_EQ(press(14, "\xE2\x82\xAC", mod::option).Value, 0xA4);
    EXPECT_EQ(press(35, "\xE2\x88\x8F", mod::option | mod::shift).Value, 0xD0);
    EXPECT_EQ(press(24, "", mod::shift).Value, 0x60);
    EXPECT_EQ(press(24, "").Value, 0xB4);
    EXPECT_EQ(press(37, "\x0C", mod::option | mod::control).Value, 0);
    EXPECT_EQ(press(37, "\x0C", mod::control).Value, 12);
    EXPECT_EQ(press(76, "\x03").Value, 13);
    EXPECT_EQ(press(84, "2", mod::option | mod::numericPad).Value, 0xB2);
}

TEST(Keyboard, ControlAndTheKeypadSwitchTheRouting) {
    t_Window& w = textWindow();
    EXPECT_EQ(press(91, "8", mod::control | mod::numericPad).Kind, 0);
    EXPECT_EQ(w.TextRedirectOutput, 2);
    EXPECT_EQ(press(89, "7", mod::control | mod::numericPad).Kind, 0);
    EXPECT_EQ(w.TextRedirectOutput, 0);
    EXPECT_EQ(press(92, "9", mod::control | mod::numericPad).Kind, 0);
    EXPECT_EQ(w.TextRedirectOutput, 1);
    EXPECT_EQ(press(91, "8", mod::option | mod::control | mod::numericPad).Value, 0xE6);
    EXPECT_EQ(press(91, "8", mod::numericPad).Value, '8');
}

TEST(Keyboard, EventsAreTakenInOrderAndIgnoredWindowsDropKeys) {
    t_Window& w = textWindow();
    kt::keyQueue().clear();
    EXPECT_EQ(t_GetEvent(), -1);
    headless().runOnMainSync([] {
        viewKeyDown(0, {0, "a", 0});
        viewKeyDown(0, {11, "b", 0});
    });
    EXPECT_TRUE(t_EventAvailable());
    EXPECT_TRUE(t_KeyIsDown());
    EXPECT_EQ(t_GetEvent(), 'a');
    EXPECT_EQ(t_GetKey(), "b");
    EXPECT_FALSE(t_EventAvailable());
    EXPECT_EQ(t_LastEvent().Description, "b");
    EXPECT_EQ(t_GetEvent(), -1);
    EXPECT_EQ(t_LastEvent().Description, "b");
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
    EXPECT_TRUE(t_ShiftPressed());
    EXPECT_TRUE(t_CapsLockPressed());
    EXPECT_FALSE(t_ControlPressed());
}

TEST(Keyboard, AVeryLongQueueKeepsEveryKey) {
    textWindow();
    kt::keyQueue().clear();
    headless().runOnMainSync([] {
        for (int i = 0; i < 200000; ++i) viewKeyDown(0, {0, std::string(1, static_cast<char>('a' + i % 26)), 0});
    });
    EXPECT_EQ(kt::keyQueue().size(), 200000u);
    for (int i = 0; i < 200000; ++i) ASSERT_EQ(t_GetEvent(), 'a' + i % 26);
    EXPECT_FALSE(t_EventAvailable());
}
