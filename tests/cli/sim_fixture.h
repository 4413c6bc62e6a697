#pragma once
// velmorctl's update commands against a real velmor-sim with a trace of every request it saw,
// and velmorctl started in the background where a test has to signal it or race it.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "tests/cli/s3_file.h"
#include "tests/sim/sim_process.h"
#include "tests/sim/sim_test_support.h"
#include "tests/support/command_runner.h"

// A velmorctl running on its own, its output in files.
class BackgroundCommand {
 public:
  BackgroundCommand(const std::string& deviceFolder, const std::vector<std::string>& args,
                    const std::string& outFile, const std::string& errFile)
      : m_out(outFile), m_err(errFile) {
    m_pid = fork();
    if (m_pid == 0) {
      setenv("VELMOR_DEVICE_DIR", deviceFolder.c_str(), 1);
      const int out = open(outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
      const int err = open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
      dup2(out, 1);
      dup2(err, 2);
      std::vector<char*> argv{const_cast<char*>(VELMORCTL)};
      for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
      argv.push_back(nullptr);
      execv(VELMORCTL, argv.data());
      _exit(127);
    }
  }
  ~BackgroundCommand() {
    if (m_pid > 0 && !m_done) {
      kill(m_pid, SIGKILL);
      waitpid(m_pid, nullptr, 0);
    }
  }

  void Signal(int signal) const { kill(m_pid, signal); }
  std::string Out() const { return ReadWholeFile(m_out); }
  std::string Err() const { return ReadWholeFile(m_err); }
  // Waits for the end; the exit code, or 128 + the signal that ended it.
  int Wait() {
    int status = 0;
    waitpid(m_pid, &status, 0);
    m_done = true;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }

 private:
  pid_t m_pid = -1;
  bool m_done = false;
  std::string m_out;
  std::string m_err;
};

class UpdateSimTest : public CommandTest {
 protected:
  void SetUp() override {
    CommandTest::SetUp();
    m_deviceFolder = deviceFolder.Path();
    StartSim();
  }

  void StartSim(const std::vector<std::string>& extra = {}, const std::string& stateFolder = {}) {
    std::vector<std::string> args{"--state",      stateFolder.empty() ? state.Path() : stateFolder,
                                  "--trace",      TracePath(),
                                  "--restart-ms", "300",
                                  "--erase-ms",   "300",
                                  "--busy-ms",    "50"};
    args.insert(args.end(), extra.begin(), extra.end());
    sim = std::make_unique<simtest::SimProcess>(deviceFolder.Path(), args, state / "sim.log");
    auto link = simtest::MakeSocketLink(deviceFolder / "VELMORUSBDevice0");
    ASSERT_TRUE(simtest::WaitFor([&] { return link->IsPresent(); }, std::chrono::seconds(5)))
        << ReadWholeFile(state / "sim.log");
  }

  std::string TracePath() const { return state / "trace.log"; }
  std::vector<std::string> Trace() const {
    std::vector<std::string> lines;
    std::istringstream in(ReadWholeFile(TracePath()));
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }
  // Requests whose trace line holds `part` (and `also`).
  std::size_t TraceCount(const std::string& part, const std::string& also = {}) const {
    std::size_t n = 0;
    for (const std::string& line : Trace()) {
      n += line.find(part) != std::string::npos && line.find(also) != std::string::npos;
    }
    return n;
  }

  std::string Control(const std::string& command) {
    std::vector<std::string> args = {"--control"};
    std::istringstream words(command);
    for (std::string word; words >> word;) args.push_back(word);
    std::string output;
    EXPECT_EQ(simtest::RunSim(deviceFolder.Path(), args, output), 0) << output;
    return output;
  }

  std::unique_ptr<BackgroundCommand> Start(const std::vector<std::string>& args,
                                           const std::string& name = "bg") {
    return std::make_unique<BackgroundCommand>(deviceFolder.Path(), args, m_dir / (name + ".out"),
                                               m_dir / (name + ".err"));
  }

  // Until `command` has printed a progress text of the programming.
  static bool WaitUntilProgramming(const BackgroundCommand& command) {
    return simtest::WaitFor(
        [&] { return command.Out().find("in progress (") != std::string::npos; },
        std::chrono::seconds(20));
  }

  simtest::TempFolder deviceFolder;
  simtest::TempFolder state;
  std::unique_ptr<simtest::SimProcess> sim;
};
