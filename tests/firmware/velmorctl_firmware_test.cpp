// velmorctl's firmware commands as a script sees them: output, messages and exit codes.

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <string>

#include "tests/firmware/update_recorder.h"

namespace {

struct Result {
  int code = -1;
  std::string out;  // stdout and stderr together
};

Result Velmorctl(const std::string& arguments) {
  // No device here: an empty private device folder.
  const std::string command = "VELMOR_DEVICE_DIR=" + std::string(VELMOR_EMPTY_DEVICE_DIR) + " " +
                              VELMORCTL + " " + arguments + " 2>&1";
  Result result;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return result;
  char buffer[512];
  while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) result.out += buffer;
  const int status = pclose(pipe);
  result.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

TEST(VelmorctlFirmware, ListsTheCarriedImage) {
  const Result r = Velmorctl("firmware");
  EXPECT_EQ(r.code, 0);
  EXPECT_NE(r.out.find("head  kind 1  target 5  region 0x22 (application)  V1.013  05.03.2006 "
                       "19:10:56"),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("segment 0x4003FFF0-0x4003FFFF  16 bytes"), std::string::npos);
  EXPECT_NE(r.out.find("2 segments, 69146 bytes"), std::string::npos);
}

TEST(VelmorctlFirmware, CheckSummarisesAGoodFileAndNamesTheLineOfABadOne) {
  const std::string golden = std::string(VELMOR_FIRMWARE_TEST_DATA) + "/golden.srec";
  Result r = Velmorctl("firmware --check " + golden);
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.out, golden +
                       ": 6 records, 3 data records, 57 data bytes\n"
                       "  0x00012000-0x00012033  52 bytes\n"
                       "  0x00013000-0x00013004  5 bytes\n");

  TempFile bad(MakeSRecord(1, 0x1000, {1, 2, 3, 4}) + "\n" + MakeSRecord(5, 2, {}) + "\n");
  r = Velmorctl("firmware --check " + bad.Path());
  EXPECT_EQ(r.code, 2);
  EXPECT_EQ(r.out, "velmorctl: ERROR: Bad S-record in line 2 of " + bad.Path() +
                       " (record count does not match the data records)\n");
  // A bad file is refused before the device is looked for.
  r = Velmorctl("update --file " + bad.Path());
  EXPECT_EQ(r.code, 2);
}

TEST(VelmorctlFirmware, UpdateWithoutADeviceFailsAtOnce) {
  const Result r = Velmorctl("update");
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.out.find("device not present"), std::string::npos) << r.out;
}

}  // namespace
