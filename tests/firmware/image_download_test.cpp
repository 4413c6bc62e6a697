#include <gtest/gtest.h>

#include <atomic>
#include <vector>

#include "firmware/tarn_list.h"
#include "firmware/update_run.h"
#include "firmware/update_texts.h"
#include "tests/firmware/update_recorder.h"

namespace {

using firmware::UpdateRun;

const TarnPacket& CarriedImage() {
  CTarnList list;
  list.Attach(GetTarnBase());
  return *list.Find(10, 5, 0x22);
}

struct ImageUpdate : HealthyDevice {
  bool Run(bool boot = false, const TarnPacket* base = GetTarnBase()) {
    UpdateRun run(*link, timing, sink);
    run.boot = boot;
    run.base = base;
    return firmware::RunUpdate(run);
  }
  UpdateRecorder sink;
};

TEST(ImageDownload, SendsTheCarriedImageInPacketsAndStartsTheApplication) {
  ImageUpdate u;
  ASSERT_TRUE(u.Run());

  const auto frames = u.device.Frames();
  ASSERT_EQ(frames.size(), 3u + 4322u + 2u);
  EXPECT_EQ(frames[0].Command(), CMD_BEGIN_UPDATE);
  EXPECT_EQ(frames[0].Value(), 0);
  EXPECT_EQ(frames[1].Command(), CMD_ERASE);
  EXPECT_EQ(frames[2].Command(), CMD_GET_ERASE_STATUS);
  EXPECT_TRUE(frames[2].replyAsked);
  EXPECT_EQ(frames[3 + 4322].Command(), CMD_END_DOWNLOAD);
  EXPECT_EQ(frames[3 + 4322 + 1].Command(), CMD_START_APPLICATION);

  // Every packet: the running address, the next bytes of the segment, 0xFF fillers.
  const TarnSegment* program = CarriedImage().segments;
  const TarnSegment* trailer = program->next;
  std::vector<std::uint8_t> expected(program->data, program->data + program->length);
  expected.insert(expected.end(), {0xFF, 0xFF});
  expected.insert(expected.end(), trailer->data, trailer->data + trailer->length);
  std::size_t at = 0;
  for (std::size_t i = 0; i < 4322; ++i) {
    const RecordedFrame& f = frames[3 + i];
    ASSERT_EQ(f.Command(), CMD_PROGRAM);
    ProgramPacket packet;
    ASSERT_TRUE(ProgramPacket::Decode(f.Data(), packet)) << i;
    const std::uint32_t address =
        i < 4321 ? 0x40010000u + 16u * static_cast<std::uint32_t>(i) : 0x4003FFF0u;
    ASSERT_EQ(packet.address, address) << i;
    ASSERT_EQ(packet.count, i == 4320 ? 12 : 16) << i;
    ASSERT_EQ(f.Length(), 6 + packet.count);
    ASSERT_TRUE(std::equal(packet.bytes.begin(), packet.bytes.begin() + packet.count,
                           expected.begin() + static_cast<std::ptrdiff_t>(at)))
        << i;
    at += packet.count;
  }

  // One progress text: virtual time stands still while the packets go out.
  const std::vector<UpdateEvent> events = {
      {UpdateEvent::kStart, 0, {}},
      {UpdateEvent::kPost, 0, "Erase in progress. Please wait!"},
      {UpdateEvent::kPost, 0, "Erase in progress. Please wait!"},
      {UpdateEvent::kPost, 0, "0%: Download of V1.013 in progress (16 Bytes/s) ..."},
      {UpdateEvent::kPost, 100, "Download finished!"},
      {UpdateEvent::kEnd, 1, {}},
  };
  EXPECT_EQ(u.sink.events, events);
  // One presence pause, one erase poll, and the pause after the download.
  EXPECT_EQ(u.timing.TotalSleptMs(), 1000u + 100u + 1000u);
}

TEST(ImageDownload, BootUpdateFindsNoImageAndSendsNoErase) {
  ImageUpdate u;
  EXPECT_FALSE(u.Run(/*boot=*/true));
  ASSERT_EQ(u.device.Frames().size(), 1u);
  EXPECT_EQ(u.device.Frames()[0].Command(), CMD_BEGIN_UPDATE);
  EXPECT_EQ(u.device.Frames()[0].Value(), 1);
  const std::vector<UpdateEvent> events = {{UpdateEvent::kStart, 0, {}},
                                           {UpdateEvent::kSend, 0, "FATAL: Software not found!"},
                                           {UpdateEvent::kEnd, 0, {}}};
  EXPECT_EQ(u.sink.events, events);
}

TEST(ImageDownload, EarlyFailuresEndWithoutEndDownload) {
  {
    SCOPED_TRACE("device still away after the wait");
    ImageUpdate u;
    u.device.On(CMD_BEGIN_UPDATE, [&u](const RecordedFrame&, std::uint8_t*) {
      u.device.SetPlugged(false);
      return true;
    });
    EXPECT_FALSE(u.Run());
    EXPECT_EQ(u.Commands(), std::vector<std::uint8_t>{CMD_BEGIN_UPDATE});
    EXPECT_EQ(u.timing.TotalSleptMs(), 5000u);
    EXPECT_EQ(u.sink.Texts().size(), 2u);  // the two erase notices, nothing else
  }
  {
    SCOPED_TRACE("erase refused");
    ImageUpdate u;
    u.device.FailCommand(CMD_ERASE);
    EXPECT_FALSE(u.Run());
    EXPECT_EQ(u.Commands(), (std::vector<std::uint8_t>{CMD_BEGIN_UPDATE, CMD_ERASE}));
  }
  {
    SCOPED_TRACE("erase poll refused");
    ImageUpdate u;
    u.device.FailCommand(CMD_GET_ERASE_STATUS);
    EXPECT_FALSE(u.Run());
    EXPECT_EQ(u.Commands(),
              (std::vector<std::uint8_t>{CMD_BEGIN_UPDATE, CMD_ERASE, CMD_GET_ERASE_STATUS}));
    EXPECT_EQ(u.sink.events.back(), (UpdateEvent{UpdateEvent::kEnd, 0, {}}));
  }
}

TEST(ImageDownload, EraseIsPolledAHundredTimesAtMost) {
  for (const unsigned finishedAt : {100u, 0u}) {
    SCOPED_TRACE(finishedAt);
    ImageUpdate u;
    auto polls = std::make_shared<unsigned>(0);
    u.device.On(CMD_GET_ERASE_STATUS, [polls, finishedAt](const RecordedFrame&, std::uint8_t* r) {
      r[6] = ++*polls == finishedAt ? 1 : 0;
      return true;
    });
    const bool ok = u.Run();
    EXPECT_EQ(*polls, 100u);
    if (finishedAt == 100) {
      EXPECT_TRUE(ok);
      EXPECT_EQ(u.device.Frames(CMD_PROGRAM).size(), 4322u);
    } else {
      EXPECT_FALSE(ok);
      EXPECT_TRUE(u.device.Frames(CMD_PROGRAM).empty());
      EXPECT_TRUE(u.device.Frames(CMD_END_DOWNLOAD).empty());
      EXPECT_EQ(u.sink.Texts().back(), "ERROR: Please restart unit!");
      EXPECT_EQ(u.timing.TotalSleptMs(), 1000u + 100u * 100u);
    }
  }
}

TEST(ImageDownload, DeviceGoneWhileProgrammingReportsEveryRemainingPacket) {
  ImageUpdate u;
  auto gone = std::make_shared<std::atomic<bool>>(false);
  auto accepted = std::make_shared<unsigned>(0);
  u.device.On(CMD_PROGRAM, [gone, accepted](const RecordedFrame&, std::uint8_t*) {
    if (*accepted == 1000) *gone = true;
    if (*gone) return false;
    ++*accepted;
    return true;
  });
  for (std::uint8_t command : {CMD_END_DOWNLOAD, CMD_START_APPLICATION}) {
    u.device.On(command, [gone](const RecordedFrame&, std::uint8_t*) { return !*gone; });
  }
  EXPECT_FALSE(u.Run());

  EXPECT_EQ(u.device.Frames(CMD_PROGRAM).size(), 4322u);
  EXPECT_EQ(u.sink.Count("ERROR: Can't write to device"), 4322u - 1000u);
  EXPECT_EQ(u.sink.Count("Download finished!"), 0u);
  const auto commands = u.Commands();
  EXPECT_EQ(commands[commands.size() - 2], CMD_END_DOWNLOAD);
  EXPECT_EQ(commands.back(), CMD_START_APPLICATION);
  // No progress once a packet failed.
  const auto texts = u.sink.Texts();
  const auto firstError = std::find(texts.begin(), texts.end(), "ERROR: Can't write to device");
  EXPECT_TRUE(std::all_of(firstError, texts.end(), [](const std::string& t) {
    return t == "ERROR: Can't write to device";
  }));
  EXPECT_EQ(u.sink.events.back(), (UpdateEvent{UpdateEvent::kEnd, 0, {}}));
}

TEST(ImageDownload, ShortAndEmptySegmentsAndTheProgressRate) {
  std::uint8_t bytes[17];
  for (std::uint8_t i = 0; i < 17; ++i) bytes[i] = i;
  const TarnSegment seventeen{0x40010100, 17, nullptr, bytes};
  const TarnSegment empty{0x40010000, 0, &seventeen, bytes};
  const TarnPacket image{nullptr, 10, 2, 5, 0x22, 0x0341, 5, 3, 2006, 19, 10, 56, {}, &empty};
  const TarnPacket head{&image, 1, 2, 5, 0x22, 0x0341, 5, 3, 2006, 19, 10, 56, {}, nullptr};

  ImageUpdate u;
  ASSERT_TRUE(u.Run(false, &head));
  const auto packets = u.device.Frames(CMD_PROGRAM);
  ASSERT_EQ(packets.size(), 2u);
  ProgramPacket first, second;
  ASSERT_TRUE(ProgramPacket::Decode(packets[0].Data(), first));
  ASSERT_TRUE(ProgramPacket::Decode(packets[1].Data(), second));
  EXPECT_EQ(first.address, 0x40010100u);
  EXPECT_EQ(first.count, 16);
  EXPECT_EQ(second.address, 0x40010110u);
  EXPECT_EQ(second.count, 4);
  EXPECT_EQ(second.bytes[0], 16);
  EXPECT_EQ(second.bytes[1], 0xFF);
  EXPECT_EQ(second.bytes[3], 0xFF);

  EXPECT_EQ(firmware::ByteRate(16, 0), 16);
  EXPECT_EQ(firmware::ByteRate(69146, 2000), 34573);
  EXPECT_EQ(firmware::ByteRate(1000, 3), 333333);
}

// A clock that moves on by a fixed step every time it is read.
class SteppingTiming final : public Timing {
 public:
  explicit SteppingTiming(std::uint32_t start, std::uint32_t step) : m_now(start), m_step(step) {}
  void SleepMs(std::uint32_t ms) override { m_now += ms; }
  std::uint32_t TickMs() override { return m_now += m_step; }

 private:
  std::uint32_t m_now;
  std::uint32_t m_step;
};

TEST(ImageDownload, ProgressIsLimitedToOneTextPerHundredMillisecondsAcrossATickWrap) {
  ImageUpdate u;
  // Starts just below the wrap of the 32-bit tick counter; 30 ms pass per reading.
  SteppingTiming timing(0xFFFFFFFFu - 5000u, 30);
  UpdateRun run(*u.link, timing, u.sink);
  ASSERT_TRUE(firmware::RunUpdate(run));
  std::vector<unsigned> percents;
  for (const auto& e : u.sink.events) {
    if (e.kind == UpdateEvent::kPost && e.text.find("Download of V1.013") != std::string::npos) {
      percents.push_back(e.percent);
    }
  }
  // Two readings per packet (check, then the new report time) plus the check of the
  // next ones: a report every fourth packet or so, never more often than every 100 ms.
  EXPECT_GT(percents.size(), 4322u / 5);
  EXPECT_LT(percents.size(), 4322u / 3);
  EXPECT_TRUE(std::is_sorted(percents.begin(), percents.end()));
  EXPECT_EQ(percents.back(), 99u);
  // Rates stay sane across the wrap: about 16 bytes per 30 ms reading.
  const std::string last = u.sink.Texts()[u.sink.Texts().size() - 2];
  long rate = 0;
  ASSERT_EQ(std::sscanf(last.c_str(), "%*u%%: Download of V1.013 in progress (%ld", &rate), 1);
  EXPECT_GT(rate, 200);
  EXPECT_LT(rate, 600);
}

}  // namespace
