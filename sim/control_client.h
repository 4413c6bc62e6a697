#pragma once
// Sends one control command to a running simulator.

#include <string>
#include <vector>

namespace sim {

// Exit codes of `velmor-sim --control`.
inline constexpr int kControlOk = 0;
// No simulator answers at the control socket, or the user may not reach it there.
inline constexpr int kControlNotRunning = 1;
inline constexpr int kControlRejected = 2;  // the simulator refused the command

// Sends `words` to the simulator at `path` and waits up to 5 s for its answer. Returns one of
// the codes above; `text` gets the answer, or why there is none.
int SendControl(const std::string& path, const std::vector<std::string>& words, std::string& text);

}  // namespace sim
