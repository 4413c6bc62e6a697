#include "cli/cli_context.h"

#include "device/device_path.h"

namespace cli {

CDeviceLink& CliContext::Link() {
  if (!m_link) {
    m_link = std::make_unique<CDeviceLink>();
    m_link->SetDeviceName(device::DevicePath().c_str());
  }
  return *m_link;
}

void CliContext::RequirePresent() {
  if (!Link().IsPresent()) throw Failure(kExitDevice, AbsenceText());
}

std::string CliContext::AbsenceText() {
  const std::string why = device::WhyDeviceAbsent(Link().DeviceName());
  return why.empty() ? "device not present (" + Link().DeviceName() + ")" : why;
}

}  // namespace cli
