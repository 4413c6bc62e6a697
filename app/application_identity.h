#pragma once
// What the application calls itself: the name that captions its question box, its version, and
// the desktop entry by which docks and menus match its window to the installed icon.

namespace app {

void SetApplicationIdentity();

}  // namespace app
