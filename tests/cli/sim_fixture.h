#pragma once
// velmorctl against a real velmor-sim in a device folder and state folder of its own, with a
// trace of every request the simulator saw; velmorctl runs to its end, or in the background where
// a test has to signal it or race it. Every velmorctl test that needs the device starts here.

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

// The simulator with short device waits (the tool's own fixed waits stay real). `Base` is
// CommandTest, or a rig built on it that shares its scenarios with other systems.
template <typename Base = CommandTest>
class SimFixture : public Base {
 protected:
  void SetUp() override {
    Base::SetUp();
    this->m_deviceFolder = deviceFolder.Path();
    StartSim();
  }

  void StartSim(const std::vector<std::string>& extra = {}, const std::string& stateFolder = {}) {
    std::vector<std::string> args{"--state",      stateFolder.empty() ? state.Path() : stateFolder,
                                  "--trace",      TraceFile(),
                                  "--restart-ms", "300",
                                  "--erase-ms",   "300",
                                  "--busy-ms",    "50"};
    args.insert(args.end(), extra.begin(), extra.end());
    sim = std::make_unique<simtest::SimProcess>(deviceFolder.Path(), args, state / "sim.log");
    auto link = simtest::MakeSocketLink(deviceFolder / "VELMORUSBDevice0");
    ASSERT_TRUE(simtest::WaitFor([&] { return link->IsPresent(); }, std::chrono::seconds(5)))
        << ReadWholeFile(state / "sim.log");
  }

  std::string TraceFile() { return state / "trace.log"; }
  std::vector<std::string> Trace() {
    std::vector<std::string> lines;
    std::istringstream in(ReadWholeFile(TraceFile()));
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }
  // Requests whose trace line holds `part` (and `also`).
  std::size_t TraceCount(const std::string& part, const std::string& also = {}) {
    std::size_t n = 0;
    for (const std::string& line : Trace()) {
      n += line.find(part) != std::string::npos && line.find(also) != std::string::npos;
    }
    return n;
  }

  // velmor-sim --control with the words of `command`; its output.
  std::string Control(const std::string& command) {
    std::vector<std::string> words;
    std::istringstream in(command);
    for (std::string word; in >> word;) words.push_back(word);
    return ControlWords(words);
  }
  std::string ControlWords(const std::vector<std::string>& words) {
    std::vector<std::string> args = {"--control"};
    args.insert(args.end(), words.begin(), words.end());
    std::string output;
    EXPECT_EQ(simtest::RunSim(deviceFolder.Path(), args, output), 0) << output;
    return output;
  }

  std::unique_ptr<BackgroundCommand> Start(const std::vector<std::string>& args,
                                           const std::string& name = "bg") {
    return std::make_unique<BackgroundCommand>(
        deviceFolder.Path(), args, this->m_dir / (name + ".out"), this->m_dir / (name + ".err"));
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

class UpdateSimTest : public SimFixture<> {};
