// velmorctl's firmware commands as a script sees them: output, messages and exit codes.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "tests/firmware/update_recorder.h"
#include "tests/support/command_runner.h"

namespace {

// No device here: the runner's empty device folder.
using VelmorctlFirmware = CommandTest;

TEST_F(VelmorctlFirmware, ListsTheCarriedImage) {
  const CommandOutcome r = Run("firmware");
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_NE(r.out.find("head  kind 1  target 5  region 0x22 (application)  V1.013  05.03.2006 "
                       "19:10:56"),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("segment 0x4003FFF0-0x4003FFFF  16 bytes"), std::string::npos);
  EXPECT_NE(r.out.find("2 segments, 69146 bytes"), std::string::npos);
}

TEST_F(VelmorctlFirmware, CheckSummarisesAGoodFileAndNamesTheLineOfABadOne) {
  const std::string golden = std::string(VELMOR_FIRMWARE_TEST_DATA) + "/golden.srec";
  // Its data lie below the application region: only a boot-region check passes it.
  CommandOutcome r = Run("firmware --boot --check " + golden);
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, golden +
                       ": 6 records, 3 data records, 57 data bytes\n"
                       "  0x00012000-0x00012033  52 bytes\n"
                       "  0x00013000-0x00013004  5 bytes\n");

  TempFile bad(MakeSRecord(1, 0x1000, {1, 2, 3, 4}) + "\n" + MakeSRecord(5, 2, {}) + "\n");
  r = Run("firmware --boot --check " + bad.Path());
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_EQ(r.err, "velmorctl: ERROR: Bad S-record in line 2 of " + bad.Path() +
                       " (record count does not match the data records)\n");
  // A bad file is refused before the device is looked for.
  r = Run("update --file " + bad.Path());
  EXPECT_EQ(r.exitCode, 2);

#ifndef _WIN32
  // "-" is standard input for a check; an update reads its file twice, so it wants a name.
  r = Run("firmware --boot --check - <" + golden);
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out.rfind("-: 6 records, 3 data records, 57 data bytes\n", 0), 0u) << r.out;
  r = Run("firmware --boot --check - <" + bad.Path());
  EXPECT_EQ(r.err,
            "velmorctl: ERROR: Bad S-record in line 2 of standard input"
            " (record count does not match the data records)\n");
  r = Run("update --file - <" + golden);
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_EQ(r.err, "velmorctl: update --file needs a named file, not standard input\n");
#endif
}

TEST_F(VelmorctlFirmware, UpdateWithoutADeviceFailsAtOnce) {
  const CommandOutcome r = Run("update");
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("device not present"), std::string::npos) << r.err;
}

// Windows passes arguments in the ANSI code page; the name must still open and read back whole.
TEST_F(VelmorctlFirmware, NonAsciiFileNameIsCheckedAndNamedIntact) {
  const std::string name =
      "\xC3\x9C"
      "berfw.s19";  // "Überfw.s19"
  const std::u8string wide(name.begin(), name.end());
  const std::filesystem::path file = m_dir / std::filesystem::path(wide);
  std::ofstream(file) << MakeSRecord(3, 0x40010000, {1, 2, 3, 4}) << "\n";
  const std::u8string utf8 = file.u8string();
  const std::string path(utf8.begin(), utf8.end());

  CommandOutcome r = Run("firmware --boot --check " + path);
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out.rfind(path + ": ", 0), 0u) << r.out;

  std::filesystem::remove(file);
  r = Run("update --file " + path);
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_EQ(r.err.rfind("velmorctl: " + path + ": cannot open", 0), 0u) << r.err;
}

}  // namespace
