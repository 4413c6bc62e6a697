#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "device/device_link.h"
#include "device/device_operations.h"
#include "device/inprocess_channel.h"
#include "tests/support/recording_device.h"
#include "tests/support/virtual_timing.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

class DeviceLinkTest : public ::testing::Test {
 protected:
  RecordingDevice device;
  std::unique_ptr<CDeviceLink> link = MakeLinkTo(device);

  Bytes OnlyFrame() {
    const auto frames = device.Frames();
    EXPECT_EQ(frames.size(), 1u);
    return frames.empty() ? Bytes{} : frames.front().bytes;
  }
};

TEST_F(DeviceLinkTest, FramesAreExactToTheByte) {
  struct Case {
    const char* what;
    std::function<bool(CDeviceLink&)> send;
    Bytes expected;
  };
  const std::uint8_t forty[40] = {1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13, 14, 15,
                                  16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30};
  const std::uint8_t thirteen[13] = {0xA0, 0xA1, 0xA2, 0xA3, 0xA4, 0xA5, 0xA6,
                                     0xA7, 0xA8, 0xA9, 0xAA, 0xAB, 0xAC};
  const std::vector<Case> cases = {
      {"length 40 goes as 26",
       [&](CDeviceLink& l) { return l.Request(nullptr, CMD_WRITE_SETTINGS, 0, 0, 0, 40, forty); },
       [&] {
         Bytes b = {0x8C, 26, 0, 0, 0, 0};
         for (int i = 0; i < 26; ++i) b.push_back(forty[i]);
         return b;
       }()},
      {"length 0 with data sends the header alone",
       [&](CDeviceLink& l) { return l.Request(nullptr, CMD_GET_BUSY, 0, 0, 0, 0, forty); },
       {0x09, 0, 0, 0, 0, 0}},
      {"index bytes are independent",
       [](CDeviceLink& l) { return l.Request(nullptr, CMD_WRITE_SETTINGS, 0, 1, 0, 0, nullptr); },
       {0x8C, 0, 0, 0, 0x01, 0x00}},
      {"only the low bits of value, index and length count",
       [](CDeviceLink& l) {
         return l.Request(nullptr, 0x10A, 0x12345, 0x1FF, 0x102, 0x100, nullptr);
       },
       {0x0A, 0, 0x45, 0x23, 0xFF, 0x02}},
      {"gain -12.0 dB",
       [](CDeviceLink& l) {
         return l.Request(nullptr, CMD_SET_GAIN, static_cast<std::uint16_t>(-120), 0, 0, 0,
                          nullptr);
       },
       {0x8F, 0, 0x88, 0xFF, 0, 0}},
      {"gain +12.0 dB",
       [](CDeviceLink& l) { return l.Request(nullptr, CMD_SET_GAIN, 120, 0, 0, 0, nullptr); },
       {0x8F, 0, 0x78, 0x00, 0, 0}},
      {"13 program bytes go as count 16 in a 22-byte frame",
       [&](CDeviceLink& l) { return l.Program(ProgramPacket::Make(0x4003FFF0, thirteen)); },
       {0x86, 22,   0,    0,    0,    0,    0xF0, 0xFF, 0x03, 0x40, 16,   0,    0xA0, 0xA1,
        0xA2, 0xA3, 0xA4, 0xA5, 0xA6, 0xA7, 0xA8, 0xA9, 0xAA, 0xAB, 0xAC, 0xFF, 0xFF, 0xFF}},
      {"equalization with the preset flag",
       [](CDeviceLink& l) { return l.SetEqualization(0, 0, 398, 64, 0, true); },
       {0x94, 10, 0, 0, 0, 0, 0x00, 0x01, 0, 0, 0x8E, 0x01, 0x40, 0, 0, 0}},
      {"equalization mode bits sit above bit 0",
       [](CDeviceLink& l) { return l.SetEqualization(0xFF, 3180, 318, 75, 7950, false); },
       {0x94, 10, 0, 0, 0, 0, 0xFE, 0x00, 0x6C, 0x0C, 0x3E, 0x01, 0x4B, 0x00, 0x0E, 0x1F}},
      {"speed with signed corrections",
       [](CDeviceLink& l) { return l.SetSpeed(45, -12, 5); },
       {0x95, 6, 0, 0, 0, 0, 45, 0, 0xF4, 0xFF, 5, 0}},
      {"motor voltage",
       [](CDeviceLink& l) { return l.SetMotorVoltage(133); },
       {0x96, 2, 0, 0, 0, 0, 133, 0}},
      {"ramp speed", [](CDeviceLink& l) { return l.SetRampSpeed(6); }, {0x97, 2, 0, 0, 0, 0, 6, 0}},
      {"begin update of the boot region",
       [](CDeviceLink& l) { return l.BeginUpdate(1); },
       {0x83, 0, 1, 0, 0, 0}},
      {"erase", [](CDeviceLink& l) { return l.Erase(); }, {0x84, 0, 0, 0, 0, 0}},
      {"end download", [](CDeviceLink& l) { return l.EndDownload(); }, {0x07, 0, 0, 0, 0, 0}},
      {"start application",
       [](CDeviceLink& l) { return l.StartApplication(); },
       {0x02, 0, 0, 0, 0, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    device.ClearFrames();
    EXPECT_TRUE(c.send(*link));
    EXPECT_EQ(OnlyFrame(), c.expected);
  }
}

TEST_F(DeviceLinkTest, ReplyBufferFollowsTheExchange) {
  ControlReply reply;
  reply.bytes.fill(0xEE);

  device.SetPlugged(false);
  EXPECT_FALSE(link->Request(&reply, CMD_GET_IDENTITY, 0, 0, 0, 0, nullptr));
  EXPECT_EQ(reply.bytes[0], 0xEE) << "an absent device leaves the buffer alone";
  EXPECT_TRUE(device.Frames().empty());

  device.SetPlugged(true);
  device.FailCommand(CMD_GET_IDENTITY);
  EXPECT_FALSE(link->Request(&reply, CMD_GET_IDENTITY, 0, 0, 0, 0, nullptr));
  for (auto b : reply.bytes) EXPECT_EQ(b, 0) << "a failed request leaves the buffer zeroed";

  device.ReplyWord(CMD_GET_BUSY, 0xBEEF);
  EXPECT_TRUE(link->Request(&reply, CMD_GET_BUSY, 0, 0, 0, 0, nullptr));
  EXPECT_EQ(reply.Word(), 0xBEEF);
  EXPECT_TRUE(device.Frames().back().replyAsked);
}

TEST_F(DeviceLinkTest, NothingOpensBeforeAPathIsSet) {
  CDeviceLink fresh(std::make_unique<InProcessChannel>(device));
  EXPECT_FALSE(fresh.IsPresent());
  EXPECT_FALSE(fresh.Request(nullptr, CMD_GET_BUSY, 0, 0, 0, 0, nullptr));
  fresh.SetDeviceName(nullptr);
  EXPECT_FALSE(fresh.IsPresent());
  fresh.SetDeviceName("x");
  EXPECT_TRUE(fresh.IsPresent());
  EXPECT_TRUE(device.Frames().empty()) << "a presence probe sends nothing";
}

TEST_F(DeviceLinkTest, ConcurrentRequestsNeverOverlap) {
  std::atomic<int> inside{0};
  std::atomic<int> most{0};
  device.On(CMD_GET_BUSY, [&](const RecordedFrame&, std::uint8_t*) {
    const int now = ++inside;
    most = std::max(most.load(), now);
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
    --inside;
    return true;
  });
  auto hammer = [&] {
    for (int i = 0; i < 50; ++i) link->Request(nullptr, CMD_GET_BUSY, 0, 0, 0, 0, nullptr);
  };
  std::thread a(hammer), b(hammer);
  // A connect runs while the exchanges go on; storing the same path again is harmless.
  for (int i = 0; i < 100; ++i) link->SetDeviceName("\\\\.\\VELMORUSBDevice0");
  a.join();
  b.join();
  EXPECT_EQ(most.load(), 1);
  EXPECT_EQ(device.Frames().size(), 100u);
}

TEST_F(DeviceLinkTest, EraseStatusIsWrittenOnlyOnSuccess) {
  bool done = false;
  device.ReplyWord(CMD_GET_ERASE_STATUS, 1);
  EXPECT_TRUE(link->GetEraseStatus(done));
  EXPECT_TRUE(done);
  device.FailCommand(CMD_GET_ERASE_STATUS);
  EXPECT_FALSE(link->GetEraseStatus(done));
  EXPECT_TRUE(done);
}

TEST_F(DeviceLinkTest, BusyWaitPollsUntilIdleAndGivesUp) {
  VirtualTiming timing;
  int polls = 0;
  device.On(CMD_GET_BUSY, [&](const RecordedFrame&, std::uint8_t* reply) {
    wire::PutU16(reply + 6, ++polls < 4 ? 1 : 0);
    return true;
  });
  EXPECT_TRUE(device::WaitNotBusy(*link, timing));
  EXPECT_EQ(polls, 4);
  EXPECT_EQ(timing.TotalSleptMs(), 200u);

  // A device that stays busy: the wait ends after 10 s of ticks.
  device.On(CMD_GET_BUSY, [&](const RecordedFrame&, std::uint8_t* reply) {
    timing.Advance(7);
    wire::PutU16(reply + 6, 1);
    return true;
  });
  EXPECT_FALSE(device::WaitNotBusy(*link, timing));

  device.FailCommand(CMD_GET_BUSY);
  device.ClearFrames();
  EXPECT_FALSE(device::WaitNotBusy(*link, timing));
  EXPECT_EQ(device.Frames().size(), 1u) << "a failed poll ends the wait at once";
}

TEST_F(DeviceLinkTest, SpeedStatusAndIdentityReads) {
  device.ReplyWord(CMD_GET_SPEED_STATUS, 0x0005);
  EXPECT_EQ(device::ReadSpeedStatus(*link), 0x0005);
  device.FailCommand(CMD_GET_SPEED_STATUS);
  EXPECT_EQ(device::ReadSpeedStatus(*link), 0) << "a failed exchange reads as no change";

  device.On(CMD_GET_IDENTITY, [](const RecordedFrame&, std::uint8_t* reply) {
    const std::uint8_t block[22] = {2, 0, 238, 0,    0x3A, 0, 0x21, 10, 1, 6,  1,
                                    0, 2, 0,   0x22, 5,    3, 6,    1,  0, 13, 0};
    std::copy(block, block + 22, reply + 6);
    return true;
  });
  DeviceIdentity identity;
  ASSERT_TRUE(device::ReadIdentity(*link, identity));
  EXPECT_EQ(identity.DeviceMode(), 2);
  EXPECT_EQ(identity.ImageLength(), 238);
  EXPECT_EQ(identity.HardwareFlags(), 0x3A);
  EXPECT_TRUE(identity.ApplicationRunning());
  EXPECT_FALSE(identity.BootLoaderOnly());
  EXPECT_EQ(identity.Boot().minor, 2);
  EXPECT_EQ(identity.Application().minor, 13);
  EXPECT_EQ(identity.Application().year, 6);

  device.FailCommand(CMD_GET_IDENTITY);
  EXPECT_FALSE(device::ReadIdentity(*link, identity));
  EXPECT_EQ(identity.ImageLength(), 238) << "a failed read keeps the last block";
}

TEST_F(DeviceLinkTest, WaitForApplicationOutlastsTheBootLoaderAndTheRestart) {
  VirtualTiming timing;
  // Answers from the boot loader first, then is gone, then runs its application.
  int reads = 0;
  device.On(CMD_GET_IDENTITY, [&](const RecordedFrame&, std::uint8_t* reply) {
    DeviceIdentity id;
    id.SetBoot({kBootMarker, 10, 1, 6, 1, 2});
    if (++reads == 1) {
      device.SetPlugged(false);
    } else {
      id.SetApplication({kApplicationMarker, 5, 3, 6, 1, 13});
    }
    std::copy(id.bytes.begin(), id.bytes.end(), reply + 6);
    return true;
  });
  const device::RestartLimits limits{10000, 3000};
  device::RestartOutcome seen = device::WaitForApplication(*link, timing, limits);
  // Nothing plugs it back in this run: the wait ends absent at the limit.
  EXPECT_FALSE(seen.present);
  EXPECT_GE(timing.TotalSleptMs(), 10000u);
  EXPECT_LT(timing.TotalSleptMs(), 10000u + device::kRestartPollPauseMs + 1);

  device.SetPlugged(true);
  seen = device::WaitForApplication(*link, timing, limits);
  ASSERT_TRUE(seen.answered);
  EXPECT_TRUE(seen.identity.ApplicationRunning());
  EXPECT_EQ(seen.identity.Application().minor, 13);

  // A device that stays in its boot loader is taken at its word after the shorter limit; one that
  // went away in between starts that limit again.
  reads = 0;
  device.On(CMD_GET_IDENTITY, [&](const RecordedFrame&, std::uint8_t* reply) {
    if (++reads == 5) return false;
    DeviceIdentity id;
    id.SetBoot({kBootMarker, 10, 1, 6, 1, 2});
    std::copy(id.bytes.begin(), id.bytes.end(), reply + 6);
    return true;
  });
  const std::uint64_t slept = timing.TotalSleptMs();
  seen = device::WaitForApplication(*link, timing, limits);
  EXPECT_TRUE(seen.answered);
  EXPECT_TRUE(seen.identity.BootLoaderOnly());
  EXPECT_EQ(timing.TotalSleptMs() - slept, 5 * device::kRestartPollPauseMs + 3000);
}

// Runs each exchange on a thread of its own, as the panel's device thread does, and notes on
// which thread the device saw it.
class ThreadRunner final : public ExchangeRunner {
 public:
  void Run(const std::function<void()>& exchange) override {
    ++runs;
    std::thread(exchange).join();
  }
  std::atomic<int> runs{0};
};

TEST_F(DeviceLinkTest, RunnerTakesOnlyTheInstallingThreadsExchanges) {
  std::vector<std::thread::id> seenOn;
  device.On(CMD_GET_IDENTITY, [&](const RecordedFrame&, std::uint8_t* reply) {
    seenOn.push_back(std::this_thread::get_id());
    reply[6] = 0x42;
    return true;
  });
  ThreadRunner runner;
  link->SetExchangeRunner(&runner);

  // Same frame and the same answer through the runner, and presence too.
  ControlReply reply;
  EXPECT_TRUE(link->Request(&reply, CMD_GET_IDENTITY, 0, 0, 0, 0, nullptr));
  EXPECT_EQ(reply.bytes[6], 0x42);
  EXPECT_TRUE(link->IsPresent());
  EXPECT_EQ(runner.runs, 2);
  ASSERT_EQ(seenOn.size(), 1u);
  EXPECT_NE(seenOn[0], std::this_thread::get_id());
  EXPECT_EQ(OnlyFrame(), (Bytes{CMD_GET_IDENTITY, 0, 0, 0, 0, 0}));
  device.SetPlugged(false);
  EXPECT_FALSE(link->IsPresent());
  EXPECT_EQ(runner.runs, 3);
  device.SetPlugged(true);

  // An update worker's exchanges stay on the worker's thread.
  std::thread worker(
      [&] { EXPECT_TRUE(link->Request(&reply, CMD_GET_IDENTITY, 0, 0, 0, 0, nullptr)); });
  const std::thread::id workerId = worker.get_id();
  worker.join();
  EXPECT_EQ(runner.runs, 3);
  ASSERT_EQ(seenOn.size(), 2u);
  EXPECT_EQ(seenOn[1], workerId);

  // Only the installed runner can be released; once released, nothing goes to it.
  ThreadRunner other;
  link->ReleaseExchangeRunner(&other);
  EXPECT_TRUE(link->StartApplication());
  EXPECT_EQ(runner.runs, 4);
  link->ReleaseExchangeRunner(&runner);
  EXPECT_TRUE(link->StartApplication());
  EXPECT_EQ(runner.runs, 4);
}

TEST(DeviceIdentity, StatesFollowTheMarkers) {
  DeviceIdentity identity;
  EXPECT_FALSE(identity.ApplicationRunning());
  EXPECT_FALSE(identity.BootLoaderOnly());
  identity.SetBoot({kBootMarker, 10, 1, 6, 1, 2});
  EXPECT_TRUE(identity.BootLoaderOnly());
  identity.SetApplication({kApplicationMarker, 1, 2, 6, 1, 12});
  EXPECT_TRUE(identity.ApplicationRunning());
  EXPECT_FALSE(identity.BootLoaderOnly());
  identity.SetApplication({0x01, 1, 2, 6, 1, 12});
  EXPECT_FALSE(identity.ApplicationRunning());
  EXPECT_FALSE(identity.BootLoaderOnly()) << "only an application marker of exactly 0 counts";
}

TEST(ReceivedFrame, RejectsWhatIsNoFrame) {
  ReceivedFrame f;
  const Bytes good = {0x8C, 2, 4, 0, 0, 0, 9, 8};
  EXPECT_TRUE(ReceivedFrame::Parse(good, f));
  EXPECT_EQ(f.value, 4);
  EXPECT_EQ(f.data.size(), 2u);
  EXPECT_FALSE(ReceivedFrame::Parse(Bytes{0x8C, 2, 4, 0, 0}, f));
  EXPECT_FALSE(ReceivedFrame::Parse(Bytes{0x8C, 3, 4, 0, 0, 0, 9, 8}, f));
  Bytes tooLong(33, 0);
  tooLong[1] = 27;
  EXPECT_FALSE(ReceivedFrame::Parse(tooLong, f));
}

}  // namespace
