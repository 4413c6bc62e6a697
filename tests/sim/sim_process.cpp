#include "tests/sim/sim_process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <sstream>

namespace simtest {

namespace {

pid_t Spawn(const std::string& deviceFolder, const std::vector<std::string>& args,
            const std::string& logFile) {
  // Everything the child needs is made before fork: only async-signal-safe calls follow it.
  std::vector<std::string> env;
  for (char** e = environ; *e != nullptr; ++e) {
    if (std::strncmp(*e, "VELMOR_DEVICE_DIR=", 18) != 0) env.emplace_back(*e);
  }
  env.push_back("VELMOR_DEVICE_DIR=" + deviceFolder);
  std::vector<char*> envp, argv;
  for (auto& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);
  std::string binary = VELMOR_SIM_BINARY;
  argv.push_back(binary.data());
  std::vector<std::string> copies = args;
  for (auto& a : copies) argv.push_back(a.data());
  argv.push_back(nullptr);
  const int log = open(logFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);

  const pid_t pid = fork();
  if (pid == 0) {
    dup2(log, 1);
    dup2(log, 2);
    execve(argv[0], argv.data(), envp.data());
    _exit(127);
  }
  close(log);
  return pid;
}

int Wait(pid_t pid) {
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  return WIFSIGNALED(status) ? 128 + WTERMSIG(status) : -1;
}

}  // namespace

SimProcess::SimProcess(const std::string& deviceFolder, const std::vector<std::string>& args,
                       const std::string& logFile)
    : m_pid(Spawn(deviceFolder, args, logFile)) {}

SimProcess::~SimProcess() {
  if (m_pid > 0) Stop(SIGKILL);
}

int SimProcess::Stop(int signal) {
  kill(m_pid, signal);
  const int code = Wait(m_pid);
  m_pid = -1;
  return code;
}

int RunSim(const std::string& deviceFolder, const std::vector<std::string>& args,
           std::string& output) {
  const std::string log = deviceFolder + ".run.log";  // beside the folder, which may not exist
  const int code = Wait(Spawn(deviceFolder, args, log));
  std::stringstream text;
  text << std::ifstream(log).rdbuf();
  output = text.str();
  unlink(log.c_str());
  return code;
}

}  // namespace simtest
