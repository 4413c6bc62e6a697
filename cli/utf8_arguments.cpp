#include "cli/utf8_arguments.h"

#ifdef _WIN32
#include <windows.h>
// windows.h first: shellapi.h needs its types.
#include <shellapi.h>
#endif

namespace cli {

#ifdef _WIN32

Utf8Arguments::Utf8Arguments(int& argc, char**& argv) {
  int count = 0;
  wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
  if (wide == nullptr) return;
  for (int i = 0; i < count; ++i) {
    const int n = WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<std::size_t>(n > 0 ? n : 1), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, text.data(), n, nullptr, nullptr);
    text.resize(text.size() - 1);
    m_arguments.push_back(std::move(text));
  }
  LocalFree(wide);
  for (auto& argument : m_arguments) m_pointers.push_back(argument.data());
  m_pointers.push_back(nullptr);
  argc = count;
  argv = m_pointers.data();
  SetConsoleOutputCP(CP_UTF8);
}

#else

Utf8Arguments::Utf8Arguments(int&, char**&) {}

#endif

}  // namespace cli
