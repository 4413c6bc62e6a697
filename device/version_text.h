#pragma once
// Version stamps and device dates as people see them.

#include <string>

namespace device {

// "V%d.%03d"
std::string FormatVersion(unsigned major, unsigned minor);
// "%02d.%02d.%04d"
std::string FormatDate(unsigned day, unsigned month, unsigned year);

}  // namespace device
