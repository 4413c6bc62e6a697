#pragma once
// The plots' PNG output lives in a module of its own (velmorctl-plots), loaded only when a PNG
// is asked for. The Qt GUI libraries it needs would otherwise load with every command, which
// triples velmorctl's memory and start-up time for something like a firmware check.

#include <cstdint>
#include <string>

namespace cli {

// The response plot of the four time constants as the panel draws it, to `path`; `size` is
// "WxH" or empty for the panel's plot control. Throws Failure as the module reports.
void WriteResponsePng(const std::string& path, const std::string& size, const std::uint16_t t[4],
                      int cursor, bool autoscale);
// The hardware test's spectrum plot, likewise.
void WriteSpectrumPng(const std::string& path, const std::string& size);

}  // namespace cli

// The module's entry points; each returns an exit code and, unless 0, a one-line message.
extern "C" {
using VelmorctlResponsePng = int (*)(const char* path, const char* size, const std::uint16_t* t,
                                     int cursor, int autoscale, char* message,
                                     std::size_t capacity);
using VelmorctlSpectrumPng = int (*)(const char* path, const char* size, char* message,
                                     std::size_t capacity);
}
