// The state folder: atomic files, the folder lock, and what a simulator finds after a restart.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "sim/device_defaults.h"
#include "sim/sim_device.h"
#include "sim/state_file_header.h"
#include "sim/state_folder.h"
#include "tests/sim/sim_test_support.h"
#include "tests/support/recording_device.h"

namespace {

void WriteText(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

TEST(SimStateFolder, SaveReplacesTheFileWholeAndLeavesNoTemporary) {
  simtest::TempFolder folder;
  SimStateFolder state(folder / "deep/er");
  std::string error;
  ASSERT_TRUE(state.Open(error)) << error;
  const std::vector<std::uint8_t> a(256, 0xAA), b(256, 0xBB);
  ASSERT_TRUE(state.Save("settings.bin", a));
  ASSERT_TRUE(state.Save("settings.bin", b));
  EXPECT_EQ(state.Load("settings.bin", 256), b);
  EXPECT_FALSE(simtest::FileExists(state.PathOf("settings.bin.tmp")));
  EXPECT_FALSE(state.Load("settings.bin", 255)) << "a file of the wrong size is no state";
  EXPECT_FALSE(state.Load("missing.bin", 256));
}

TEST(SimStateFolder, OneSimulatorPerFolderAndLeftoversOfAKillAreRemoved) {
  simtest::TempFolder folder;
  WriteText(folder / "settings.bin.tmp", "half a file");
  SimStateFolder first(folder.Path());
  std::string error;
  ASSERT_TRUE(first.Open(error)) << error;
  EXPECT_FALSE(simtest::FileExists(folder / "settings.bin.tmp"));

  SimStateFolder second(folder.Path());
  EXPECT_FALSE(second.Open(error));
  EXPECT_NE(error.find("in use"), std::string::npos) << error;
}

TEST(SimStateFolder, UnusableFolderIsReported) {
  simtest::TempFolder folder;
  WriteText(folder / "file", "x");
  SimStateFolder state(folder / "file/below");
  std::string error;
  EXPECT_FALSE(state.Open(error));
  EXPECT_FALSE(error.empty());
}

#ifndef _WIN32
// Whoever can write the state folder could hand the simulator a flash image of their own.
TEST(SimStateFolder, AFolderOthersCanWriteOrALinkIsRefused) {
  simtest::TempFolder folder;
  const std::string shared = folder / "shared";
  std::filesystem::create_directory(shared);
  std::filesystem::permissions(shared, std::filesystem::perms::all);
  const std::string link = folder / "link";
  std::filesystem::create_directory_symlink(folder / "elsewhere", link);
  std::filesystem::create_directory(folder / "elsewhere");
  for (const auto& [path, problem] : {std::pair{shared, "can be written by other users"},
                                      std::pair{link, "is a symbolic link"}}) {
    SimStateFolder state(path);
    std::string error;
    EXPECT_FALSE(state.Open(error)) << path;
    EXPECT_EQ(error.rfind("the state folder " + path + " " + problem + " (owner ", 0), 0u) << error;
    EXPECT_NE(error.find("start velmor-sim with --state and a folder of your own"),
              std::string::npos)
        << error;
    EXPECT_FALSE(simtest::FileExists(path + "/.lock")) << "nothing made in a refused folder";
  }
}
#endif

class SimRestartTest : public ::testing::Test {
 protected:
  std::unique_ptr<SimDevice> Start() {
    device.reset();
    state = std::make_unique<SimStateFolder>(folder.Path());
    std::string error;
    EXPECT_TRUE(state->Open(error)) << error;
    SimOptions options = SimOptions::Instant();
    options.state = state.get();
    return std::make_unique<SimDevice>(options);
  }

  simtest::TempFolder folder;
  std::unique_ptr<SimStateFolder> state;
  std::unique_ptr<SimDevice> device;
};

TEST_F(SimRestartTest, CommittedSettingsSurviveARestart) {
  device = Start();
  EXPECT_EQ(device->StoredImage(), sim::DeviceDefaults(sim::FactorySystemData()));
  auto link = MakeLinkTo(*device);
  const std::uint8_t chunk[2] = {0x5A, 0xA5};
  ASSERT_TRUE(link->Request(nullptr, CMD_WRITE_SETTINGS, 200, 0, 0, 2, chunk));
  ASSERT_TRUE(link->Request(nullptr, CMD_WRITE_SETTINGS, 0, 1, 0, 0, nullptr));
  const SettingsImage written = device->StoredImage();
  ASSERT_TRUE(link->Request(nullptr, CMD_WRITE_SETTINGS, 202, 0, 0, 2, chunk));  // not committed
  link.reset();

  device = Start();
  EXPECT_EQ(device->StoredImage(), written);
  EXPECT_EQ(device->StoredImage().Bytes()[201], 0xA5);
  EXPECT_EQ(device->Live().gain, 30) << "the device runs its stored settings after a start";
}

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Each kind of untrustworthy state is refused by the file's name with the way out, and the
// folder is left as it was for the user to look at.
TEST_F(SimRestartTest, StateThatCannotBeTrustedIsRefusedByNameAndResetStartsAfresh) {
  device = Start();
  device.reset();
  const std::string settings = folder / SimStateFolder::kSettingsFile;
  const std::string application = folder / SimStateFolder::kApplicationFile;
  const std::string goodSettings = ReadBytes(settings);
  const std::string goodApplication = ReadBytes(application);
  ASSERT_EQ(goodSettings.size(), 16u + 256u) << "a header in front of the image";

  SettingsImage outOfRange;
  std::copy(goodSettings.begin() + 16, goodSettings.end(), outOfRange.Bytes().begin());
  outOfRange.Bytes()[SettingsImage::kPhonoGain] = 127;  // 12.7 dB

  std::string foreign = goodSettings;
  foreign[4] = 2;  // a format this simulator does not know
  std::string flipped = goodApplication;
  flipped[1000] = static_cast<char>(flipped[1000] ^ 0x01);
  const struct {
    std::string path, bytes, says;
  } cases[] = {
      {application, "", application + " is not a state file of velmor-sim (0 bytes)"},
      {application, "short", application + " is not a state file of velmor-sim (5 bytes)"},
      {application, flipped, application + " fails its checksum"},
      {application, goodApplication + "x", application + " holds 196609 bytes, not 196608"},
      {settings, foreign, settings + " has format version 2; this velmor-sim reads 1"},
      {settings, std::string(outOfRange.Bytes().begin(), outOfRange.Bytes().end()),
       settings + " holds gain_db: 12.7 is outside -12.0..12.0"},
  };
  for (const auto& c : cases) {
    WriteText(c.path, c.bytes);
    std::string error;
    EXPECT_FALSE(state->Check(error)) << c.says;
    EXPECT_EQ(error, c.says + " (velmor-sim --reset starts afresh)");
    EXPECT_EQ(ReadBytes(c.path), c.bytes) << "a refused file is left alone";
    WriteText(settings, goodSettings);
    WriteText(application, goodApplication);
  }

  std::filesystem::remove(application);
  std::string error;
  EXPECT_FALSE(state->Check(error)) << "a lost flash file must not come back as the factory's";
  EXPECT_EQ(error, application +
                       " is missing while the other state files are there (velmor-sim --reset "
                       "starts afresh)");

  ASSERT_TRUE(state->Reset(error)) << error;
  EXPECT_TRUE(state->Check(error)) << error;
  device = Start();
  EXPECT_FALSE(device->InBootLoader());
  EXPECT_EQ(state->Load(SimStateFolder::kApplicationFile,
                        FlashModel::Size(FlashModel::Region::kApplication)),
            FlashModel::FactoryApplication());
}

// The device keeps what it was sent, in range or not; it must start with it again.
TEST_F(SimRestartTest, AStoredValueOutOfRangeComesBackAfterARestart) {
  device = Start();
  auto link = MakeLinkTo(*device);
  const std::uint8_t gain = 127;  // 12.7 dB
  ASSERT_TRUE(
      link->Request(nullptr, CMD_WRITE_SETTINGS, SettingsImage::kPhonoGain, 0, 0, 1, &gain));
  ASSERT_TRUE(link->Request(nullptr, CMD_WRITE_SETTINGS, 0, 1, 0, 0, nullptr));
  link.reset();
  device.reset();

  std::string error;
  EXPECT_TRUE(state->Check(error)) << error;
  device = Start();
  EXPECT_EQ(device->StoredImage().PhonoGain(), 127);
}

// State files from before the header are taken as they are, once, and kept with it.
TEST_F(SimRestartTest, FilesWithoutTheHeaderAreTakenAndRewritten) {
  device = Start();
  auto link = MakeLinkTo(*device);
  const std::uint8_t chunk[2] = {0x5A, 0xA5};
  ASSERT_TRUE(link->Request(nullptr, CMD_WRITE_SETTINGS, 200, 0, 0, 2, chunk));
  ASSERT_TRUE(link->Request(nullptr, CMD_WRITE_SETTINGS, 0, 1, 0, 0, nullptr));
  const SettingsImage written = device->StoredImage();
  link.reset();
  device.reset();
  for (const char* name : {SimStateFolder::kSettingsFile, SimStateFolder::kApplicationFile,
                           SimStateFolder::kBootFile}) {
    WriteText(folder / name, ReadBytes(folder / name).substr(16));
  }

  std::string error;
  ASSERT_TRUE(state->Check(error)) << error;
  EXPECT_EQ(ReadBytes(folder / SimStateFolder::kSettingsFile).size(), 16u + 256u);
  EXPECT_EQ(ReadBytes(folder / SimStateFolder::kBootFile).substr(0, 4), "VSIM");
  device = Start();
  EXPECT_EQ(device->StoredImage(), written);
  EXPECT_FALSE(device->InBootLoader());
}

// A save fails for real when its temporary file cannot be made: a folder sits in its place.
TEST_F(SimRestartTest, WhatCannotBeKeptIsNotAcknowledged) {
  device = Start();
  auto link = MakeLinkTo(*device);
  const SettingsImage before = device->StoredImage();
  std::filesystem::create_directory(folder / "settings.bin.tmp");
  const std::uint8_t chunk[2] = {0x5A, 0xA5};
  ASSERT_TRUE(link->Request(nullptr, CMD_WRITE_SETTINGS, 200, 0, 0, 2, chunk));
  EXPECT_FALSE(link->Request(nullptr, CMD_WRITE_SETTINGS, 0, 1, 0, 0, nullptr)) << "commit";
  const std::uint8_t system[12] = {};
  EXPECT_FALSE(link->Request(nullptr, CMD_RESTORE_DEFAULTS, 0, 0, 0, 12, system));
  EXPECT_EQ(device->StoredImage(), before);
#ifdef _WIN32
  const std::string cause = "";  // the system's wording differs
#else
  const std::string cause = ": Is a directory)";
#endif
  EXPECT_NE(device->StorageText().find("2 saves FAILED (last: cannot save " +
                                       (folder / "settings.bin") + cause),
            std::string::npos)
      << device->StorageText();

  // The flash: an erase that cannot be kept is refused, and so is a packet.
  std::filesystem::create_directory(folder / "application.bin.tmp");
  ASSERT_TRUE(link->BeginUpdate(0));
  EXPECT_FALSE(link->Erase());
  std::filesystem::remove(folder / "application.bin.tmp");
  ASSERT_TRUE(link->Erase());
  bool done = false;
  ASSERT_TRUE(link->GetEraseStatus(done) && done);
  const std::uint8_t bytes[16] = {1, 2, 3};
  std::filesystem::create_directory(folder / "application.journal");
  EXPECT_FALSE(link->Program(ProgramPacket::Make(0x40010000, bytes)));
  std::filesystem::remove(folder / "application.journal");

  // An acknowledged packet is kept even when the region's file cannot be saved any more and
  // the simulator ends.
  std::filesystem::create_directory(folder / "application.bin.tmp");
  EXPECT_TRUE(link->Program(ProgramPacket::Make(0x40010010, bytes)));
  EXPECT_FALSE(link->EndDownload());
  link.reset();
  device.reset();
  std::filesystem::remove(folder / "application.bin.tmp");
  device = Start();
  const std::vector<std::uint8_t> flash = device->Flash(FlashModel::Region::kApplication);
  EXPECT_EQ(flash[0x10], 1) << "kept once acknowledged";
}

}  // namespace
