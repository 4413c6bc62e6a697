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
#include <vector>

#include "tests/cli/update_sim_fixture.h"

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

TEST_F(UpdateSimTest, AFailureEndsWithItsCauseAndTheStateItLeftOnStderr) {
  Control("fail command PROGRAM");
  CommandOutcome r = Run("update");
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.err,
            "velmorctl: update failed (ERROR: Can't write to device, 4322 packets refused); the "
            "device waits in its boot loader; `velmorctl update` brings the application back\n");
  EXPECT_NE(r.out.find("ERROR: Can't write to device"), std::string::npos);

  Control("fail clear PROGRAM");
  r = Run("update");
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.out.find("The device runs application V1.013"), std::string::npos);
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
