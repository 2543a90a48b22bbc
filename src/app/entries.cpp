// The entries that later parts of the toolkit fill in; until then they record nothing.
#include "app/entries.h"

void viewKeyDown(uint8_t, const host::KeyEvent&) {}
void viewKeyUp(uint8_t) {}
void viewFlagsChanged(uint8_t, uint64_t) {}
void viewMouseDown(uint8_t, const host::MouseEvent&, bool) {}
void viewMouseUp(uint8_t) {}
bool windowShouldClose(int) { return false; }
void t_MenuEventHandler(const std::string&, const host::MenuItem&) {}
void f_FileEventHandler(const std::string&, int64_t) {}
