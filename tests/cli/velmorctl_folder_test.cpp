// Two users on one machine: a device folder that is not the user's own is refused by every
// program before anything reaches whoever listens there, and a socket the user may not open
// is reported as such, not as an absent device. Runs the programs as other users through
// setpriv, so it needs root.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>

#include "tests/sim/sim_test_support.h"
#include "tests/support/command_runner.h"

namespace {

using namespace std::chrono_literals;

// Two ids no account on the machine has, so their names read as "uid N".
constexpr uid_t kOther = 64101;
constexpr uid_t kUser = 64102;

using Environment = std::map<std::string, std::string>;

[[noreturn]] void ExecAs(uid_t uid, const Environment& environment,
                         const std::vector<std::string>& command) {
  for (const auto& [name, value] : environment) setenv(name.c_str(), value.c_str(), 1);
  std::vector<std::string> words = {"setpriv", "--reuid=" + std::to_string(uid),
                                    "--regid=" + std::to_string(uid), "--clear-groups", "--"};
  words.insert(words.end(), command.begin(), command.end());
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  execvp("setpriv", argv.data());
  _exit(127);
}

// Runs `command` as `uid` to its end: the exit code, stdout in `out`, stderr in `err`.
CommandOutcome RunAs(uid_t uid, const Environment& environment,
                     const std::vector<std::string>& command, const std::string& scratch) {
  const std::string out = scratch + "/out", err = scratch + "/err";
  const pid_t pid = fork();
  if (pid == 0) {
    if (!std::freopen(out.c_str(), "w", stdout) || !std::freopen(err.c_str(), "w", stderr)) {
      _exit(126);
    }
    ExecAs(uid, environment, command);
  }
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadWholeFile(out), ReadWholeFile(err)};
}

class FolderOwnershipTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (geteuid() != 0) GTEST_SKIP() << "runs programs as two other users: needs root";
    // Both users pass through the shared parent; what lies below is theirs.
    chmod(root.Path().c_str(), 0755);
    chmod(scratch.Path().c_str(), 0777);
  }

  void TearDown() override {
    for (pid_t pid : m_sims) {
      kill(pid, SIGTERM);
      waitpid(pid, nullptr, 0);
    }
  }

  std::string MakeFolder(const std::string& name, uid_t owner, mode_t mode) {
    std::string path = root / name;
    std::filesystem::create_directory(path);
    EXPECT_EQ(chown(path.c_str(), owner, owner), 0);
    EXPECT_EQ(chmod(path.c_str(), mode), 0);
    return path;
  }

  // velmor-sim run by `uid`, serving `deviceFolder` with its state and trace in a folder of
  // that user's; returns the trace file.
  std::string StartSim(uid_t uid, const std::string& deviceFolder) {
    const std::string state = MakeFolder("state-" + std::to_string(m_sims.size()), uid, 0700);
    const pid_t pid = fork();
    if (pid == 0) {
      const std::string log = state + ".log";
      if (!std::freopen(log.c_str(), "w", stderr)) _exit(126);
      ExecAs(uid, {{"VELMOR_DEVICE_DIR", deviceFolder}},
             {VELMOR_SIM_BINARY, "--state", state, "--trace", state + "/trace"});
    }
    m_sims.push_back(pid);
    // The test runs as root, whom the folder check refuses too: wait for the socket file.
    EXPECT_TRUE(simtest::WaitFor(
        [&] { return simtest::FileExists(deviceFolder + "/velmor-sim.control"); }, 5000ms));
    return state + "/trace";
  }

  CommandOutcome Velmorctl(const std::string& deviceFolder, const std::vector<std::string>& args) {
    std::vector<std::string> command = {VELMORCTL};
    command.insert(command.end(), args.begin(), args.end());
    return RunAs(kUser, {{"VELMOR_DEVICE_DIR", deviceFolder}, {"HOME", scratch.Path()}}, command,
                 scratch.Path());
  }

  CommandOutcome Sim(const std::string& deviceFolder, const std::vector<std::string>& args) {
    std::vector<std::string> command = {VELMOR_SIM_BINARY};
    command.insert(command.end(), args.begin(), args.end());
    return RunAs(kUser, {{"VELMOR_DEVICE_DIR", deviceFolder}, {"HOME", scratch.Path()}}, command,
                 scratch.Path());
  }

  // Every program refuses `folder` with `refusal`, and nothing reached the simulator that
  // serves there.
  void ExpectRefusedEverywhere(const std::string& folder, const std::string& refusal,
                               const std::string& trace) {
    const std::string fix = "; remove it, or set VELMOR_DEVICE_DIR to a folder of your own\n";
    for (const auto& args : {std::vector<std::string>{"identity"},
                             std::vector<std::string>{"settings", "set", "gain_db=3.0"},
                             std::vector<std::string>{"update", "--force"}}) {
      const CommandOutcome r = Velmorctl(folder, args);
      EXPECT_EQ(r.exitCode, 1) << args[0];
      EXPECT_EQ(r.err, std::string("velmorctl: ").append(refusal).append(fix)) << args[0];
    }
    CommandOutcome r = Sim(folder, {"--control", "status"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "velmor-sim: " + refusal + fix);
    r = Sim(folder, {"--state", scratch / "own-state"});
    EXPECT_EQ(r.exitCode, 1) << "serves in a folder it must not use";
    EXPECT_EQ(r.err, "velmor-sim: " + refusal + fix);
    EXPECT_EQ(ReadWholeFile(trace), "") << "a request reached the folder's simulator";
  }

  simtest::TempFolder root;
  simtest::TempFolder scratch;

 private:
  std::vector<pid_t> m_sims;
};

TEST_F(FolderOwnershipTest, AnotherUsersFolderOrALinkToItIsRefused) {
  const std::string theirs = MakeFolder("theirs", kOther, 0755);
  const std::string trace = StartSim(kOther, theirs);
  ExpectRefusedEverywhere(
      theirs,
      "the device folder " + theirs + " belongs to another user (owner uid 64101, mode 0755)",
      trace);

  const std::string link = root / "link";
  std::filesystem::create_directory_symlink(theirs, link);
  ASSERT_EQ(lchown(link.c_str(), kUser, kUser), 0);
  ExpectRefusedEverywhere(
      link, "the device folder " + link + " is a symbolic link (owner uid 64102, mode 0777)",
      trace);
}

TEST_F(FolderOwnershipTest, AFolderOthersCanWriteIsRefused) {
  const std::string ours = MakeFolder("ours", kUser, 0700);
  const std::string trace = StartSim(kUser, ours);
  ASSERT_EQ(Velmorctl(ours, {"identity"}).exitCode, 0) << "the user's own folder serves";
  const std::size_t seen = ReadWholeFile(trace).size();
  ASSERT_GT(seen, 0u);
  std::filesystem::remove(trace);

  chmod(ours.c_str(), 0777);
  ExpectRefusedEverywhere(
      ours,
      "the device folder " + ours + " can be written by other users (owner uid 64102, mode 0777)",
      trace);
}

// Root may open anything, so the user runs as someone else here too.
TEST_F(FolderOwnershipTest, PermissionDeniedIsNotAnAbsentDevice) {
  const std::string ours = MakeFolder("ours", kUser, 0700);
  StartSim(kUser, ours);
  const std::string device = ours + "/VELMORUSBDevice0";
  const std::string control = ours + "/velmor-sim.control";
  ASSERT_EQ(chmod(device.c_str(), 0), 0);
  ASSERT_EQ(chmod(control.c_str(), 0), 0);

  CommandOutcome r = Velmorctl(ours, {"identity"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.err, "velmorctl: permission denied (" + device + ")\n");
  r = Velmorctl(ours, {"identity", "--json"});
  EXPECT_EQ(nlohmann::json::parse(r.out, nullptr, false)["absence"],
            "permission denied (" + device + ")");
  r = Sim(ours, {"--control", "status"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.err, "velmor-sim: permission denied (" + control + ")\n");
}

}  // namespace
