#pragma once
// velmorctl started from Explorer (a double-click) gets a console window of its own, which
// closes the moment the program ends: whatever it printed flashes by unread.

namespace cli {

// True when this process is the only one on its console, so the window goes with it.
bool OwnsConsoleWindow();

// Asks for a key and waits for it, so the window stays until the user has read it.
void WaitForKeyBeforeClosing();

}  // namespace cli
