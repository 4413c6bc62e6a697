// The update sequence as the tool's worker drives it, against SimDevice in virtual time.

#include <gtest/gtest.h>

#include <algorithm>

#include "device/device_operations.h"
#include "sim/sim_device.h"
#include "sim/state_folder.h"
#include "tests/sim/sim_test_support.h"
#include "tests/support/recording_device.h"
#include "tests/support/virtual_timing.h"

namespace {

using Region = FlashModel::Region;

std::vector<std::uint8_t> Program(std::size_t size, std::uint8_t seed) {
  std::vector<std::uint8_t> bytes(size);
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(seed + i * 7);
  return bytes;
}

// V1.013 of 05.03.2006 with a trailer whose sum is right, or off by one.
std::vector<std::uint8_t> NewApplication(bool rightSum = true) {
  flash::Trailer trailer;
  trailer.major = 1;
  trailer.minor = 13;
  trailer.day = 5;
  trailer.month = 3;
  trailer.year = 2006;
  auto region = FlashModel::MakeApplication(Program(69130, 3), trailer);
  if (!rightSum) region[flash::kTrailerAddress - flash::kApplicationStart + 12] ^= 1;
  return region;
}

class SimUpdateTest : public ::testing::Test {
 protected:
  SimOptions Options() {
    SimOptions o;
    o.timing = &timing;
    o.requestMs = 1;
    return o;
  }

  // The worker's wait for the device after CMD_BEGIN_UPDATE (up to 5 x 1000 ms), also long
  // enough for the restart into a new application.
  void WaitForDevice() {
    for (int i = 0; i < 5; ++i) {
      timing.SleepMs(1000);
      if (link->IsPresent()) return;
    }
  }

  bool EraseAndWait() {
    if (!link->Erase()) return false;
    for (int i = 0; i < 100; ++i) {
      timing.SleepMs(100);
      bool done = false;
      if (!link->GetEraseStatus(done)) return false;
      if (done) return true;
    }
    return false;
  }

  // Programs every 16-byte block of `region` that is not blank; true when all were accepted.
  bool ProgramRegion(const std::vector<std::uint8_t>& region, std::uint32_t start) {
    bool ok = true;
    for (std::size_t at = 0; at < region.size(); at += 16) {
      const std::span<const std::uint8_t> block(&region[at], 16);
      if (std::all_of(block.begin(), block.end(), [](std::uint8_t b) { return b == 0xFF; })) {
        continue;
      }
      ok = link->Program(ProgramPacket::Make(start + static_cast<std::uint32_t>(at), block)) && ok;
    }
    return ok;
  }

  bool UpdateApplication(const std::vector<std::uint8_t>& region) {
    link->BeginUpdate(0);
    WaitForDevice();
    const bool ok = EraseAndWait() && ProgramRegion(region, flash::kApplicationStart);
    link->EndDownload();
    link->StartApplication();
    WaitForDevice();
    return ok;
  }

  bool RawProgram(std::uint32_t address, std::uint16_t count, std::size_t payloadBytes) {
    std::uint8_t payload[32] = {};
    wire::PutU32(payload, address);
    wire::PutU16(payload + 4, count);
    return link->Request(nullptr, CMD_PROGRAM, 0, 0, 0, static_cast<unsigned>(6 + payloadBytes),
                         payload);
  }

  DeviceIdentity Identity() {
    DeviceIdentity id;
    EXPECT_TRUE(device::ReadIdentity(*link, id));
    return id;
  }

  VirtualTiming timing;
  std::unique_ptr<SimDevice> sim = std::make_unique<SimDevice>(Options());
  std::unique_ptr<CDeviceLink> link = MakeLinkTo(*sim);
};

TEST_F(SimUpdateTest, UpdateStepByStepEndsInTheNewApplication) {
  ASSERT_TRUE(link->BeginUpdate(0));
  EXPECT_FALSE(link->IsPresent()) << "restarting into the boot loader";
  timing.SleepMs(1000);
  EXPECT_FALSE(link->IsPresent());
  timing.SleepMs(200);
  ASSERT_TRUE(link->IsPresent());
  EXPECT_TRUE(Identity().BootLoaderOnly());
  EXPECT_EQ(Identity().Boot().minor, 2);
  ControlReply reply;
  EXPECT_FALSE(link->Request(&reply, CMD_READ_SETTINGS, 0, 26, 0, 0, nullptr))
      << "the boot loader keeps no settings";

  ASSERT_TRUE(link->Erase());
  bool done = true;
  ASSERT_TRUE(link->GetEraseStatus(done));
  EXPECT_FALSE(done);
  timing.Advance(1500);
  ASSERT_TRUE(link->GetEraseStatus(done));
  EXPECT_TRUE(done);
  const auto erased = sim->Flash(Region::kApplication);
  EXPECT_TRUE(std::all_of(erased.begin(), erased.end(), [](std::uint8_t b) { return b == 0xFF; }));

  const auto image = NewApplication();
  EXPECT_TRUE(ProgramRegion(image, flash::kApplicationStart));
  EXPECT_TRUE(link->EndDownload());
  EXPECT_TRUE(Identity().BootLoaderOnly()) << "until the application is started";
  EXPECT_TRUE(link->StartApplication());
  EXPECT_FALSE(link->IsPresent()) << "the device comes back as a new device";
  WaitForDevice();
  const DeviceIdentity id = Identity();
  EXPECT_TRUE(id.ApplicationRunning());
  EXPECT_EQ(
      (std::array<unsigned, 5>{id.Application().day, id.Application().month, id.Application().year,
                               id.Application().major, id.Application().minor}),
      (std::array<unsigned, 5>{5, 3, 6, 1, 13}));
  EXPECT_EQ(sim->Flash(Region::kApplication), image);
}

// A watcher that looks only now and then still learns that the device was away.
TEST_F(SimUpdateTest, AbsencesAreCountedEvenWhenNobodyLookedDuringThem) {
  EXPECT_EQ(sim->Absences(), 0u);
  ASSERT_TRUE(link->BeginUpdate(0));
  timing.SleepMs(1500);  // the restart is over before anyone asks
  EXPECT_EQ(sim->Absences(), 1u);
  ASSERT_TRUE(link->IsPresent());
  EXPECT_EQ(sim->Absences(), 1u);
  sim->Unplug();
  sim->Unplug();
  sim->Plug();
  EXPECT_EQ(sim->Absences(), 2u) << "one unplug, however often it is said";
}

TEST_F(SimUpdateTest, WrongTrailerSumStaysInTheBootLoaderAcrossRestarts) {
  simtest::TempFolder folder;
  auto state = std::make_unique<SimStateFolder>(folder.Path());
  std::string error;
  ASSERT_TRUE(state->Open(error)) << error;
  SimOptions options = Options();
  options.state = state.get();
  sim = std::make_unique<SimDevice>(options);
  link = MakeLinkTo(*sim);

  EXPECT_TRUE(UpdateApplication(NewApplication(false)));
  EXPECT_TRUE(Identity().BootLoaderOnly());

  link.reset();
  sim.reset();
  state = std::make_unique<SimStateFolder>(folder.Path());
  ASSERT_TRUE(state->Open(error)) << error;
  options.state = state.get();
  sim = std::make_unique<SimDevice>(options);
  link = MakeLinkTo(*sim);
  EXPECT_TRUE(sim->InBootLoader());
  EXPECT_TRUE(Identity().BootLoaderOnly());

  // From the boot loader an update starts without a restart, and a good image recovers.
  EXPECT_TRUE(link->BeginUpdate(0));
  EXPECT_TRUE(link->IsPresent());
  EXPECT_TRUE(UpdateApplication(NewApplication()));
  EXPECT_TRUE(Identity().ApplicationRunning());
  EXPECT_EQ(Identity().Application().minor, 13);
}

TEST_F(SimUpdateTest, ProgramPacketsAreCheckedAgainstEraseRegionAndSize) {
  const auto packet = ProgramPacket::Make(flash::kApplicationStart, Program(16, 1));
  EXPECT_FALSE(link->Program(packet)) << "the application does not program";
  link->BeginUpdate(0);
  WaitForDevice();
  EXPECT_FALSE(link->Program(packet)) << "before any erase";
  ASSERT_TRUE(link->Erase());
  EXPECT_FALSE(link->Program(packet)) << "while erasing";
  timing.Advance(1500);
  EXPECT_TRUE(link->Program(packet));

  EXPECT_FALSE(link->Program(ProgramPacket::Make(0x4000FFF0, Program(16, 1)))) << "boot region";
  EXPECT_FALSE(link->Program(ProgramPacket::Make(0x4003FFF8, Program(16, 1)))) << "past the end";
  EXPECT_FALSE(link->Program(ProgramPacket::Make(0x40040000, Program(4, 1))));
  EXPECT_FALSE(link->Program(ProgramPacket::Make(0xFFFFFFFC, Program(8, 1)))) << "wraps around";
  EXPECT_TRUE(link->Program(ProgramPacket::Make(0x4003FFF0, Program(16, 1)))) << "last 16 bytes";
  EXPECT_FALSE(RawProgram(0x40010100, 5, 5)) << "count not a multiple of 4";
  EXPECT_FALSE(RawProgram(0x40010100, 20, 20)) << "more than 16 bytes";
  EXPECT_FALSE(RawProgram(0x40010100, 8, 12)) << "payload longer than its count";
  EXPECT_FALSE(RawProgram(0x40010100, 8, 4)) << "payload shorter than its count";
  EXPECT_TRUE(RawProgram(0x40010100, 8, 8));
}

TEST_F(SimUpdateTest, ProgrammingOnlyClearsBitsSoFillersKeepWhatIsThere) {
  link->BeginUpdate(0);
  WaitForDevice();
  ASSERT_TRUE(EraseAndWait());
  const std::uint8_t first[13] = {0x0F, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
  ASSERT_TRUE(link->Program(ProgramPacket::Make(0x40010000, first)));  // fillers at 13..15
  const std::uint8_t tail[3] = {0xA0, 0xA1, 0xA2};
  ASSERT_TRUE(link->Program(ProgramPacket::Make(0x4001000D, tail)));  // fillers over 16
  const auto flash = sim->Flash(Region::kApplication);
  EXPECT_EQ(flash[0], 0x0F);
  EXPECT_EQ(flash[13], 0xA0);
  EXPECT_EQ(flash[15], 0xA2);
  EXPECT_EQ(flash[16], 0xFF);
}

TEST_F(SimUpdateTest, BootRegionUpdateLeavesTheApplicationAlone) {
  const auto application = sim->Flash(Region::kApplication);
  ASSERT_TRUE(link->BeginUpdate(1));
  WaitForDevice();
  ASSERT_TRUE(EraseAndWait());
  const auto boot = sim->Flash(Region::kBoot);
  EXPECT_TRUE(std::all_of(boot.begin(), boot.end(), [](std::uint8_t b) { return b == 0xFF; }));
  EXPECT_TRUE(link->Program(ProgramPacket::Make(0x40000000, Program(16, 9))));
  EXPECT_FALSE(link->Program(ProgramPacket::Make(0x40010000, Program(16, 9))));
  EXPECT_TRUE(link->EndDownload());
  EXPECT_TRUE(sim->InBootLoader());
  EXPECT_EQ(sim->Flash(Region::kApplication), application);
  EXPECT_TRUE(link->StartApplication());
  WaitForDevice();
  EXPECT_TRUE(Identity().ApplicationRunning());
  EXPECT_EQ(Identity().Application().minor, 12);
}

TEST_F(SimUpdateTest, EraseThatNeverEndsOutlastsTheWorkersPolls) {
  SimFaults faults;
  faults.eraseNeverEnds = true;
  sim->SetFaults(faults);
  link->BeginUpdate(0);
  WaitForDevice();
  EXPECT_FALSE(EraseAndWait());
  sim->ResetFaults();
  bool done = false;
  ASSERT_TRUE(link->GetEraseStatus(done));
  EXPECT_TRUE(done);
}

TEST_F(SimUpdateTest, UpdateCommandsOutsideTheirStateFail) {
  EXPECT_FALSE(link->Request(nullptr, CMD_BEGIN_UPDATE, 2, 0, 0, 0, nullptr)) << "no region 2";
  EXPECT_FALSE(link->Erase());
  EXPECT_FALSE(link->EndDownload());
  EXPECT_FALSE(link->StartApplication());
  EXPECT_TRUE(Identity().ApplicationRunning());
}

TEST_F(SimUpdateTest, DownloadIsSavedToTheStateFolder) {
  simtest::TempFolder folder;
  SimStateFolder state(folder.Path());
  std::string error;
  ASSERT_TRUE(state.Open(error)) << error;
  SimOptions options = Options();
  options.state = &state;
  sim = std::make_unique<SimDevice>(options);
  link = MakeLinkTo(*sim);
  const auto image = NewApplication();
  ASSERT_TRUE(UpdateApplication(image));
  EXPECT_EQ(state.Load(SimStateFolder::kApplicationFile, image.size()), image);
}

TEST(FlashModel, FactoryApplicationIsV1012WithARightSum) {
  FlashModel flash;
  const auto trailer = flash.ValidApplication();
  ASSERT_TRUE(trailer);
  EXPECT_EQ(trailer->minor, 12);
  EXPECT_EQ(trailer->year, 2006);
  auto region = FlashModel::FactoryApplication();
  const auto trailerAt = region.begin() + (flash::kTrailerAddress - flash::kApplicationStart);
  EXPECT_GT(std::count_if(region.begin(), region.begin() + 69130,
                          [](std::uint8_t b) { return b != 0xFF; }),
            60000);
  EXPECT_TRUE(
      std::all_of(region.begin() + 69130, trailerAt, [](std::uint8_t b) { return b == 0xFF; }));
  region[1000] ^= 0x40;
  ASSERT_TRUE(flash.Load(Region::kApplication, region));
  EXPECT_FALSE(flash.ValidApplication());
}

}  // namespace
