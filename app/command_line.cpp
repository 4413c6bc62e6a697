#include "app/command_line.h"

namespace app {

std::string CommandLineTail(int argc, const char* const* argv) {
  std::string tail;
  for (int i = 1; i < argc; ++i) {
    if (i > 1) tail += ' ';
    tail += argv[i];
  }
  return tail;
}

Modes ModesFromTail(const std::string& tail) {
  return {tail == "-service", tail == "-advanced"};
}

}  // namespace app
