#pragma once
// The real velmor-sim binary as a child process, in a private device folder.

#include <sys/types.h>

#include <string>
#include <vector>

namespace simtest {

// Runs velmor-sim with `args` and VELMOR_DEVICE_DIR set to `deviceFolder`; stdout and stderr
// go to `logFile`.
class SimProcess {
 public:
  SimProcess(const std::string& deviceFolder, const std::vector<std::string>& args,
             const std::string& logFile);
  // Kills the process with SIGKILL if it still runs.
  ~SimProcess();
  SimProcess(const SimProcess&) = delete;
  SimProcess& operator=(const SimProcess&) = delete;

  pid_t Pid() const { return m_pid; }
  // Sends `signal` and waits; returns the exit code, or 128 + the signal that ended it.
  int Stop(int signal);

 private:
  pid_t m_pid = -1;
};

// Runs velmor-sim to its end; returns its exit code, its stdout and stderr in `output`.
int RunSim(const std::string& deviceFolder, const std::vector<std::string>& args,
           std::string& output);

}  // namespace simtest
