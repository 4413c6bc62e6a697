// velmor-standin: installs and drives the test-only stand-in for the device's driver under
// Wine. It ships nowhere.
//   velmor-standin install SYS      register and start the driver at SYS (a Unix path)
//   velmor-standin control WORD...  one command (the simulator's control words), e.g. unplug
//   velmor-standin hold             keep the driver loaded until stdin ends
//   velmor-standin notify           tell every window of the device coming and going, as the
//                                   system does, until ended
//   velmor-standin shortcut LNK     what the shortcut LNK (a Windows path) starts, a line each:
//                                   target=, arguments=, folder=, icon=

#include <cstdio>
#include <string>
#include <vector>

#include "tests/win/shortcut_info.h"
#include "tests/win/standin_client.h"

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  if (args.size() == 2 && args[0] == "install") {
    std::string error;
    if (!standin::Install(args[1], error)) {
      std::fprintf(stderr, "velmor-standin: %s\n", error.c_str());
      return 1;
    }
    return 0;
  }
  if (args.size() >= 2 && args[0] == "control") {
    std::string answer;
    const bool ok = standin::Command({args.begin() + 1, args.end()}, answer);
    std::fprintf(ok ? stdout : stderr, "%s%s\n", ok ? "" : "velmor-standin: ", answer.c_str());
    return ok ? 0 : 1;
  }
  if (args.size() == 1 && args[0] == "hold") {
    // Wine unloads a driver soon after the last program ends.
    while (std::getchar() != EOF) {
    }
    return 0;
  }
  if (args.size() == 1 && args[0] == "notify") {
    standin::NotifyDeviceChanges([] { return false; }, std::chrono::milliseconds(20));
    return 0;
  }
  if (args.size() == 2 && args[0] == "shortcut") {
    standin::ShortcutInfo info;
    std::string error;
    if (!standin::ReadShortcut(args[1], info, error)) {
      std::fprintf(stderr, "velmor-standin: %s\n", error.c_str());
      return 1;
    }
    std::printf("target=%s\narguments=%s\nfolder=%s\nicon=%s\n", info.target.c_str(),
                info.arguments.c_str(), info.workingFolder.c_str(), info.icon.c_str());
    return 0;
  }
  std::fprintf(stderr,
               "usage: velmor-standin install SYS | control WORD... | hold | notify | "
               "shortcut LNK\n");
  return 2;
}
