#pragma once
// velmorctl's command line and output as UTF-8 on every system. Windows hands a program its
// arguments in the ANSI code page, where a file name such as "Überfw.s19" may not survive;
// there the arguments are taken again from the wide command line, and the console shows UTF-8.

#include <string>
#include <vector>

namespace cli {

class Utf8Arguments {
 public:
  // Replaces argc and argv by UTF-8 copies that live as long as this object (Windows only).
  Utf8Arguments(int& argc, char**& argv);

 private:
  std::vector<std::string> m_arguments;
  std::vector<char*> m_pointers;
};

}  // namespace cli
