#include "cli/console_window.h"

#include <cstdio>

#if defined(_WIN32)
#include <conio.h>
#include <windows.h>
#endif

namespace cli {

bool OwnsConsoleWindow() {
#if defined(_WIN32)
  DWORD processes[2];
  return GetConsoleProcessList(processes, 2) == 1;
#else
  return false;
#endif
}

void WaitForKeyBeforeClosing() {
#if defined(_WIN32)
  std::fputs(
      "\nvelmorctl is a command-line tool: open a command prompt or PowerShell and type a\n"
      "command such as \"velmorctl identity\". The control panel is velmor-panel.exe.\n\n"
      "Press any key to close this window.",
      stdout);
  std::fflush(stdout);
  _getch();
#endif
}

}  // namespace cli
