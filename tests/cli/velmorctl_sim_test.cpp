// velmorctl against the real velmor-sim over the local socket, as a script sees it.

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "device/flash_trailer.h"
#include "settings/settings_transfer.h"
#include "tests/cli/sim_fixture.h"

namespace {

using nlohmann::json;

class VelmorctlSimTest : public SimFixture<> {
 protected:
  json RunJson(const std::string& arguments) {
    const CommandOutcome r = Run(arguments);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    return json::parse(r.out, nullptr, false);
  }
};

TEST_F(VelmorctlSimTest, IdentityAsTheDeviceReportsIt) {
  json id = RunJson("identity --json");
  EXPECT_EQ(id["present"], true);
  EXPECT_EQ(id["mode"], 2);
  EXPECT_EQ(id["image_length"], 238);
  EXPECT_EQ(id["hardware_flags"], 0x3A);
  EXPECT_TRUE(id["status_lines"].empty());
  EXPECT_EQ(id["boot"], (json{{"version", "V1.002"}, {"date", "2006-01-10"}}));
  EXPECT_EQ(id["application"], (json{{"version", "V1.012"}, {"date", "2006-02-01"}}));

  Control("identity flags 0");
  id = RunJson("identity --json");
  EXPECT_EQ(id["status_lines"], (json{"DSP not found!", "FPGA not loaded!",
                                      "Transmitter not found!", "EEPROM not found!"}));

  Control("identity boot-only on");
  id = RunJson("identity --json");
  EXPECT_TRUE(id["application"].is_null());
  EXPECT_TRUE(id["status_lines"].empty()) << "no status lines without a running application";
}

TEST_F(VelmorctlSimTest, SettingsSaveEditLoadRoundTrip) {
  const std::string file = state / "settings.bin";
  ASSERT_EQ(Run("settings save " + file).exitCode, 0);
  std::string bytes = ReadWholeFile(file);
  ASSERT_EQ(bytes.size(), 238u);

  bytes[4] = 0x40;  // serial number 0x000F4240 = 1000000
  bytes[5] = 0x42;
  bytes[6] = 0x0F;
  bytes[25] = static_cast<char>(-35);  // gain -3.5 dB
  std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes;
  const CommandOutcome load = Run("settings load " + file);
  ASSERT_EQ(load.exitCode, 0) << load.err;

  const json shown = RunJson("settings show --json");
  EXPECT_EQ(shown["serial_number"], 1000000);
  EXPECT_DOUBLE_EQ(shown["gain_db"].get<double>(), -3.5);
  EXPECT_EQ(shown["curves"].size(), 8u);

  std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes.substr(0, 200);
  const CommandOutcome wrong = Run("settings load " + file);
  EXPECT_EQ(wrong.exitCode, 2);
  EXPECT_NE(wrong.err.find("holds 200 bytes"), std::string::npos) << wrong.err;
  EXPECT_EQ(Run("settings load " + (state / "missing.bin")).exitCode, 2);
}

TEST_F(VelmorctlSimTest, DefaultsKeepOrRenewTheSystemData) {
  const json before = RunJson("settings show --json");
  ASSERT_EQ(Run("defaults").exitCode, 0);
  json after = RunJson("settings show --json");
  EXPECT_EQ(after["serial_number"], before["serial_number"]);
  EXPECT_EQ(after["delivery_date"], before["delivery_date"]);

  ASSERT_EQ(Run("defaults --init-system-data").exitCode, 0);
  after = RunJson("settings show --json");
  EXPECT_EQ(after["serial_number"], 100);
  EXPECT_EQ(after["motor_control_unit"], true);
  EXPECT_EQ(after["auto_mute"], true);
  const settings::LocalDate today = settings::TodayLocal();
  char date[16];
  std::snprintf(date, sizeof date, "%04d-%02d-%02d", today.year, today.month, today.day);
  EXPECT_EQ(after["delivery_date"], date);
}

TEST_F(VelmorctlSimTest, FailuresGiveOneLineAndTheirExitCode) {
  Control("fail command READ_SETTINGS");
  CommandOutcome r = Run("settings show");
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.err, "velmorctl: reading the settings failed\n");

  Control("unplug");
  r = Run("identity");
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("device not present"), std::string::npos);
  EXPECT_EQ(Run("settings save " + (state / "x.bin")).exitCode, 1);
  EXPECT_FALSE(simtest::FileExists(state / "x.bin")) << "nothing written on a failure";

  r = Run("settings");
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_EQ(Run("defaults --bogus").exitCode, 2);
}

TEST_F(VelmorctlSimTest, UpdateTakesTheDeviceToTheCarriedVersion) {
  const CommandOutcome r = Run("update");
  ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_NE(r.out.find("Erase in progress. Please wait!"), std::string::npos);
  EXPECT_NE(r.out.find("Download finished!"), std::string::npos);
  EXPECT_NE(r.out.find("The device runs application V1.013 (05.03.2006).\n"), std::string::npos);
  const json id = RunJson("identity --json");
  EXPECT_EQ(id["application"], (json{{"version", "V1.013"}, {"date", "2006-03-05"}}));
}

TEST_F(VelmorctlSimTest, UpdateFromAnSRecordFile) {
  // A small application with a right trailer: the device runs it afterwards.
  std::vector<std::uint8_t> region(flash::kApplicationEnd - flash::kApplicationStart,
                                   flash::kErased);
  std::vector<std::uint8_t> program(1000);
  for (std::size_t i = 0; i < program.size(); ++i) program[i] = static_cast<std::uint8_t>(i * 7);
  std::copy(program.begin(), program.end(), region.begin());
  flash::Trailer trailer{0x0022, 1, 20, 24, 12, 2006, 0};
  std::vector<std::uint8_t> tail(flash::kTrailerSize);
  trailer.Encode(tail.data());
  std::copy(tail.begin(), tail.end(), region.end() - flash::kTrailerSize);
  trailer.sum = flash::ApplicationSum(region);
  trailer.Encode(tail.data());

  const std::string file = state / "app.s3";
  std::ofstream(file) << S3File(flash::kApplicationStart, program)
                      << S3File(flash::kTrailerAddress, tail);
  CommandOutcome r = Run("update --file " + file);
  ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_NE(r.out.find("Download finished!"), std::string::npos);
  // The command returns once the device runs what it programmed.
  EXPECT_NE(r.out.find("The device runs application V1.020 (24.12.2006).\n"), std::string::npos);
  const json id = RunJson("identity --json");
  EXPECT_EQ(id["application"], (json{{"version", "V1.020"}, {"date", "2006-12-24"}}));

  // The same program with its sum off by one: every packet is accepted, but the device stays in
  // its boot loader, and that is no success.
  trailer.sum += 1;
  trailer.Encode(tail.data());
  std::ofstream(file, std::ios::trunc)
      << S3File(flash::kApplicationStart, program) << S3File(flash::kTrailerAddress, tail);
  r = Run("update --file " + file);
  EXPECT_EQ(r.exitCode, 1) << r.out << r.err;
  EXPECT_NE(r.out.find("Download finished!"), std::string::npos);
  EXPECT_EQ(r.err,
            "velmorctl: the device stays in its boot loader: the programmed application "
            "failed its check; `velmorctl update` brings the carried application back\n");
  r = Run("update");
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.out.find("The device runs application V1.013"), std::string::npos) << r.out;
}

}  // namespace
