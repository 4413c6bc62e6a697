// Any words as a control command of the simulator: a clear answer, never a crash.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "sim/control_commands.h"
#include "sim/sim_device.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<std::string> words(1);
  for (std::size_t i = 0; i < size; ++i) {
    if (data[i] == ' ') {
      words.emplace_back();
    } else {
      words.back() += static_cast<char>(data[i]);
    }
  }
  SimDevice device(SimOptions::Instant());
  const sim::ControlResult result = sim::ExecuteControl(words, device, nullptr);
  if (!result.ok && result.text.empty()) std::abort();
  (void)sim::ParseCommandCode(words.front());
  return 0;
}
