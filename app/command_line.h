#pragma once
// The command line as start-up reads it: the tail after the program's name, and the two modes.

#include <string>

namespace app {

struct Modes {
  bool service = false;   // "-service"
  bool advanced = false;  // "-advanced"
};

// The arguments after the program's name, joined by single blanks.
std::string CommandLineTail(int argc, const char* const* argv);
// Each mode only when the tail is exactly its switch; anything else is normal mode.
Modes ModesFromTail(const std::string& tail);

}  // namespace app
