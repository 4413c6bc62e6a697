// velmorctl update as a service technician meets it: what is refused before anything is sent,
// what a failure says, and where it leaves the device.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/cli/sim_fixture.h"

namespace {

TEST_F(UpdateSimTest, FilesOutsideTheApplicationRegionAreRefusedBeforeAnythingIsSent) {
  struct Case {
    std::uint32_t address;
    std::size_t bytes;
    std::string firstOutside;
    int line;
  };
  const std::vector<Case> cases = {
      {0x00012000, 64, "0x00012000", 1},  // a file linked for another part
      {0x4000FFF0, 32, "0x4000FFF0", 1},  // starts in the boot region
      {0x4003FFE0, 64, "0x40040000", 2},  // runs past the top
  };
  for (const Case& c : cases) {
    const std::string file = m_dir / "app.s3";
    std::ofstream(file, std::ios::trunc) << S3File(c.address, std::vector<std::uint8_t>(c.bytes));
    const std::string expected = "velmorctl: data at " + c.firstOutside + " in line " +
                                 std::to_string(c.line) + " of " + file +
                                 " lies outside the application region 0x40010000-0x4003FFFF\n";
    CommandOutcome r = Run("update --file " + file);
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(r.err, expected);
    r = Run("firmware --check " + file);
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(r.err, expected);
  }
  EXPECT_TRUE(Trace().empty()) << Trace().front();
  // For the boot region the tool knows no bounds.
  EXPECT_EQ(Run("firmware --boot --check " + (m_dir / "app.s3").string()).exitCode, 0);
}

TEST_F(UpdateSimTest, BootUpdateWithoutACarriedBootImageSendsNothing) {
  const CommandOutcome r = Run("update --boot");
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_EQ(r.err,
            "velmorctl: FATAL: Software not found! (no boot image is carried; --boot needs "
            "--file)\n");
  EXPECT_TRUE(Trace().empty());
  EXPECT_NE(Run("identity").out.find("application:    V1.012"), std::string::npos);
}

TEST_F(UpdateSimTest, TheCarriedVersionIsNotFlashedTwiceUnlessForced) {
  ASSERT_EQ(Run("update").exitCode, 0);
  const std::size_t begins = TraceCount("BEGIN_UPDATE");
  CommandOutcome r = Run("update");
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out,
            "The device already runs application V1.013 (05.03.2006), the carried version; "
            "nothing to do (--force updates anyway).\n");
  EXPECT_EQ(TraceCount("BEGIN_UPDATE"), begins);

  r = Run("update --force");
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.out.find("Download finished!"), std::string::npos);
  EXPECT_EQ(TraceCount("BEGIN_UPDATE"), begins + 1);
}

// Lines of `text` that hold `part`.
std::size_t LinesWith(const std::string& text, const std::string& part) {
  std::size_t n = 0;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) n += line.find(part) != std::string::npos;
  return n;
}

TEST_F(UpdateSimTest, APresentDeviceRefusingPacketsGetsEveryPacketThenTheEndCommands) {
  Control("fail command PROGRAM");
  CommandOutcome r = Run("update");
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.err,
            "velmorctl: update failed (ERROR: Can't write to device, 4322 packets refused); the "
            "device waits in its boot loader; `velmorctl update` brings the application back\n");
  EXPECT_EQ(LinesWith(r.out, "ERROR: Can't write to device"), 1u) << r.out;
  EXPECT_NE(r.out.find("ERROR: Can't write to device (4,322 packets)\n"), std::string::npos)
      << r.out;
  EXPECT_EQ(r.out.find("went away"), std::string::npos) << "a present device is not waited for";
  // The worker's own sequence: every packet, then end of download and start of the application.
  const std::vector<std::string> trace = Trace();
  EXPECT_EQ(TraceCount("BEGIN_UPDATE"), 1u);
  EXPECT_EQ(TraceCount("PROGRAM (0x86)", "result=failed"), 4322u);
  std::size_t last = trace.size();
  while (last > 0 && trace[last - 1].find("PROGRAM (0x86)") == std::string::npos) --last;
  ASSERT_LE(last + 2, trace.size());
  EXPECT_NE(trace[last].find("END_DOWNLOAD"), std::string::npos);
  EXPECT_NE(trace[last + 1].find("START_APPLICATION"), std::string::npos);

  Control("fail clear PROGRAM");
  r = Run("update");
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.out.find("The device runs application V1.013"), std::string::npos);
}

TEST_F(UpdateSimTest, ARefusedRequestIsNotReportedAsUnanswered) {
  const std::string recovery =
      "the device waits in its boot loader; `velmorctl update` brings the application back\n";
  Control("fail command ERASE");
  CommandOutcome r = Run("update");
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.err, "velmorctl: update failed (the device refused the erase); " + recovery);
  Control("fail clear ERASE");

  // The erase is done, but its answer is lost on the wire.
  Control("wire drop 2");
  r = Run("update --force");
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.err, "velmorctl: update failed (the device did not answer the erase); " + recovery);
  EXPECT_EQ(TraceCount("ERASE (0x84)", "result=ok"), 1u);
}

}  // namespace

namespace {

constexpr const char* kProgram = "PROGRAM (0x86)";
constexpr std::size_t kCarriedPackets = 4322;

TEST_F(UpdateSimTest, OneInterruptWarnsAndTheUpdateCompletes) {
  auto update = Start({"update"});
  ASSERT_TRUE(WaitUntilProgramming(*update)) << update->Err();
  update->Signal(SIGINT);
  EXPECT_EQ(update->Wait(), 0) << update->Err();
  EXPECT_NE(update->Err().find("velmorctl: SIGINT: stopping now would leave the device in its boot "
                               "loader without an application; the update goes on"),
            std::string::npos)
      << update->Err();
  EXPECT_NE(update->Out().find("The device runs application V1.013"), std::string::npos);
  EXPECT_EQ(TraceCount(kProgram, "result=ok"), kCarriedPackets);
}

TEST_F(UpdateSimTest, ASecondInterruptStopsAfterThePacketAndSaysHowToRecover) {
  auto update = Start({"update"});
  ASSERT_TRUE(WaitUntilProgramming(*update)) << update->Err();
  update->Signal(SIGINT);
  ASSERT_TRUE(simtest::WaitFor([&] { return !update->Err().empty(); }));
  update->Signal(SIGINT);
  EXPECT_EQ(update->Wait(), 128 + SIGINT);
  const std::string err = update->Err();
  const std::string last = err.substr(err.rfind('\n', err.size() - 2) + 1);
  EXPECT_EQ(last,
            "velmorctl: update stopped by an interrupt; the device waits in its boot loader; "
            "`velmorctl update` brings the application back\n")
      << err;
  EXPECT_LT(TraceCount(kProgram), kCarriedPackets);
  EXPECT_EQ(TraceCount("END_DOWNLOAD"), 0u) << "a stop sends nothing after the last packet";

  CommandOutcome r = Run("identity");
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_NE(r.out.find("The device waits in its boot loader: `velmorctl update` brings the "
                       "application back.\n"),
            std::string::npos)
      << r.out;
  r = Run("update");
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.out.find("The device runs application V1.013"), std::string::npos);
}

TEST_F(UpdateSimTest, AShortFaultWhileProgrammingReportsWhereTheDeviceEndedUp) {
  auto update = Start({"update"});
  ASSERT_TRUE(WaitUntilProgramming(*update)) << update->Err();
  Control("fail next 3");
  EXPECT_EQ(update->Wait(), 1);
  EXPECT_EQ(update->Err(),
            "velmorctl: update failed (ERROR: Can't write to device, 3 packets refused); the "
            "device waits in its boot loader; `velmorctl update` brings the application back\n");
  // The device is back at once: a retry works.
  const CommandOutcome r = Run("update");
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.out.find("The device runs application V1.013"), std::string::npos);
}

TEST_F(UpdateSimTest, ASecondUpdaterIsRefusedAndTheFirstCompletes) {
  auto first = Start({"update"});
  ASSERT_TRUE(WaitUntilProgramming(*first)) << first->Err();
  const CommandOutcome second = Run("update --force");
  EXPECT_EQ(second.exitCode, 1);
  EXPECT_EQ(second.err, "velmorctl: another program is updating the device (" +
                            (deviceFolder / "VELMORUSBDevice0.lock") + " is locked)\n");
  EXPECT_EQ(first->Wait(), 0) << first->Err();
  EXPECT_EQ(TraceCount(kProgram, "result=ok"), kCarriedPackets);
  EXPECT_EQ(TraceCount("result=failed"), 0u);
  EXPECT_EQ(TraceCount("BEGIN_UPDATE"), 1u);
  // Reads go on meanwhile and after.
  EXPECT_EQ(Run("identity").exitCode, 0);
}

// Sets an environment variable for the programs a test starts.
class ScopedVariable {
 public:
  ScopedVariable(const char* name, const char* value) : m_name(name) { setenv(name, value, 1); }
  ~ScopedVariable() { unsetenv(m_name); }
  ScopedVariable(const ScopedVariable&) = delete;
  ScopedVariable& operator=(const ScopedVariable&) = delete;

 private:
  const char* m_name;
};

// The device unplugged at half the packets; what the user reads, and what reached the device.
class ReplugTest : public UpdateSimTest {
 protected:
  std::unique_ptr<BackgroundCommand> UnplugAtHalf() {
    auto update = Start({"update"});
    EXPECT_TRUE(simtest::WaitFor([&] { return TraceCount(kProgram) >= kCarriedPackets / 2; },
                                 std::chrono::seconds(60)));
    Control("unplug");
    return update;
  }
  static bool WaitUntilWaiting(const BackgroundCommand& command) {
    return simtest::WaitFor(
        [&] { return command.Out().find("The device went away") != std::string::npos; },
        std::chrono::seconds(20));
  }
};

TEST_F(ReplugTest, BackAfterThreeSecondsTheWholeUpdateRunsAgainAndSucceeds) {
  auto update = UnplugAtHalf();
  ASSERT_TRUE(WaitUntilWaiting(*update)) << update->Out();
  std::this_thread::sleep_for(std::chrono::seconds(3));  // away as long as a replug takes
  Control("plug");
  ASSERT_EQ(update->Wait(), 0) << update->Out() << update->Err();
  const std::string out = update->Out();
  EXPECT_NE(out.find("The device went away: waiting up to 30 s for it to come back ...\n"
                     "The device is back: the update starts again from its first step.\n"
                     "Erase in progress. Please wait!\n"),
            std::string::npos)
      << out;
  EXPECT_NE(out.find("The device runs application V1.013 (05.03.2006).\n"), std::string::npos);
  EXPECT_EQ(LinesWith(out, "ERROR: Can't write to device"), 1u) << "nothing sent into the void";
  EXPECT_EQ(TraceCount("BEGIN_UPDATE"), 2u);
  EXPECT_EQ(TraceCount("ERASE (0x84)"), 2u);
  EXPECT_GE(TraceCount(kProgram, "result=ok"), kCarriedPackets + kCarriedPackets / 2);
  EXPECT_EQ(TraceCount("END_DOWNLOAD"), 1u) << "the cut-short run ends without it";
  EXPECT_NE(Run("identity").out.find("application:    V1.013"), std::string::npos);
}

TEST_F(ReplugTest, AwayPastTheWaitEndsWithTheCauseAndTheRecoveryLine) {
  // The 30 s wait shortened, so the device stays away past it.
  const ScopedVariable wait("VELMORCTL_REPLUG_WAIT_MS", "1500");
  auto update = UnplugAtHalf();
  EXPECT_EQ(update->Wait(), 1);
  EXPECT_EQ(update->Err(),
            "velmorctl: update failed (ERROR: Can't write to device: the device went away); the "
            "device did not come back within 1.5 s; reconnect it, then run `velmorctl update`\n");
  EXPECT_NE(update->Out().find("The device went away: waiting up to 1.5 s for it to come back"),
            std::string::npos);
  EXPECT_EQ(TraceCount("BEGIN_UPDATE"), 1u);

  Control("plug");
  const CommandOutcome r = Run("update");
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.out.find("The device runs application V1.013"), std::string::npos);
}

TEST_F(ReplugTest, TwoInterruptsWhileWaitingEndWithTheStateAndTheRecoveryLine) {
  auto update = UnplugAtHalf();
  ASSERT_TRUE(WaitUntilWaiting(*update)) << update->Out();
  update->Signal(SIGINT);
  ASSERT_TRUE(simtest::WaitFor([&] { return !update->Err().empty(); }));
  update->Signal(SIGINT);
  EXPECT_EQ(update->Wait(), 128 + SIGINT);
  const std::string err = update->Err();
  EXPECT_EQ(err.substr(err.rfind('\n', err.size() - 2) + 1),
            "velmorctl: update stopped by an interrupt; the device did not come back; reconnect "
            "it, then run `velmorctl update`\n")
      << err;
  Control("plug");
}

}  // namespace

namespace {

TEST_F(UpdateSimTest, OnlyRegularFilesOfAFittingSizeAreRead) {
  const std::string fifo = m_dir / "fifo";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const std::string folder = m_dir / "folder";
  std::filesystem::create_directories(folder);
  const std::string big = m_dir / "big.bin";
  std::ofstream(big) << std::string(300, 'x');
  const std::string huge = m_dir / "huge.s3";
  std::ofstream(huge).close();
  std::filesystem::resize_file(huge, (64u << 20) + 1);  // sparse

  struct Case {
    std::string arguments;
    std::string message;
  };
  const std::vector<Case> cases = {
      {"settings load /dev/zero", "/dev/zero: is a device, not a regular file"},
      {"settings load " + fifo, fifo + ": is a FIFO, not a regular file"},
      {"firmware --check " + fifo, fifo + ": is a FIFO, not a regular file"},
      {"update --file " + fifo, fifo + ": is a FIFO, not a regular file"},
      {"settings load " + folder, folder + ": is a folder, not a regular file"},
      {"firmware --check " + folder, folder + ": is a folder, not a regular file"},
      {"settings load " + big, big + ": holds 300 bytes; a settings image has at most 256"},
      {"firmware --check " + huge,
       huge + ": holds 67108865 bytes; an S-record file has at most 67108864"},
  };
  for (const Case& c : cases) {
    std::istringstream words(c.arguments);
    std::vector<std::string> args;
    for (std::string word; words >> word;) args.push_back(word);
    auto command = Start(args);
    // A FIFO without a writer or an endless device would keep it here for ever.
    ASSERT_TRUE(simtest::WaitFor([&] { return !command->Err().empty(); }, std::chrono::seconds(5)))
        << c.arguments;
    EXPECT_EQ(command->Wait(), 2) << c.arguments;
    EXPECT_EQ(command->Err(), "velmorctl: " + c.message + "\n");
  }
  EXPECT_TRUE(Trace().empty()) << "refused before the device is asked";
}

}  // namespace

namespace {

// Writes until the file system says it is full.
void Fill(const std::string& path) {
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  ASSERT_GE(fd, 0);
  const std::vector<char> block(4096, 'x');
  while (write(fd, block.data(), block.size()) > 0) {
  }
  close(fd);
}

TEST_F(UpdateSimTest, AFullStateFolderFailsTheCommitAndKeepsWhatWasAcknowledged) {
  sim->Stop(SIGTERM);
  const std::string small = state / "small";
  std::filesystem::create_directories(small);
  if (mount("tmpfs", small.c_str(), "tmpfs", 0, "size=320k,mode=0700") != 0) {
    GTEST_SKIP() << "cannot mount a small tmpfs here: " << std::strerror(errno);
  }
  struct Unmount {
    std::string path;
    ~Unmount() { umount2(path.c_str(), MNT_DETACH); }
  } unmount{small};
  StartSim({}, small);

  const std::string file = m_dir / "settings.bin";
  ASSERT_EQ(Run("settings save " + file).exitCode, 0);
  std::string acknowledged = ReadWholeFile(file);
  acknowledged[4] = 0x11;  // serial number
  std::ofstream(file, std::ios::trunc | std::ios::binary) << acknowledged;
  ASSERT_EQ(Run("settings load " + file).exitCode, 0);

  Fill(small + "/filler");
  std::string lost = acknowledged;
  lost[4] = 0x22;
  std::ofstream(file, std::ios::trunc | std::ios::binary) << lost;
  const CommandOutcome r = Run("settings load " + file);
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.err, "velmorctl: writing the settings failed\n");
  const std::string status = Control("status");
  EXPECT_NE(status.find("saves FAILED (last: cannot save " + small +
                        "/settings.bin: No space left on device)"),
            std::string::npos)
      << status;

  sim->Stop(SIGTERM);
  StartSim({}, small);
  ASSERT_EQ(Run("settings save " + file).exitCode, 0);
  EXPECT_EQ(ReadWholeFile(file), acknowledged) << "the restarted device holds what it acknowledged";

  // An erase it cannot keep is refused, which is not the same as no answer.
  const CommandOutcome update = Run("update");
  EXPECT_EQ(update.exitCode, 1);
  EXPECT_EQ(update.err,
            "velmorctl: update failed (the device refused the erase); the device waits in its "
            "boot loader; `velmorctl update` brings the application back\n");
}

TEST_F(UpdateSimTest, ADamagedStateFileIsRefusedAtStartAndResetStartsAfresh) {
  ASSERT_EQ(Run("update").exitCode, 0);
  sim->Stop(SIGTERM);
  std::filesystem::resize_file(state / "application.bin", 1000);
  std::string output;
  EXPECT_EQ(simtest::RunSim(deviceFolder.Path(), {"--state", state.Path()}, output), 1);
  EXPECT_NE(output.find("velmor-sim: " + (state / "application.bin") +
                        " holds 984 bytes, not 196608 (velmor-sim --reset starts afresh)"),
            std::string::npos)
      << output;

  StartSim({"--reset"});
  EXPECT_NE(Run("identity").out.find("application:    V1.012"), std::string::npos)
      << "the factory application again";
}

}  // namespace
