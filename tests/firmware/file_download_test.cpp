#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "firmware/update_run.h"
#include "tests/firmware/update_recorder.h"

namespace {

using firmware::UpdateRun;

std::vector<std::uint8_t> Bytes(std::size_t n, std::uint8_t first = 0) {
  std::vector<std::uint8_t> v(n);
  for (std::size_t i = 0; i < n; ++i) v[i] = static_cast<std::uint8_t>(first + i * 7);
  return v;
}

struct FileUpdate : HealthyDevice {
  bool Run(const std::string& path, bool boot = false) {
    UpdateRun run(*link, timing, sink);
    run.boot = boot;
    run.fileName = path;
    return firmware::RunUpdate(run);
  }
  std::vector<ProgramPacket> Packets() const {
    std::vector<ProgramPacket> packets;
    for (const auto& f : device.Frames(CMD_PROGRAM)) {
      ProgramPacket p;
      EXPECT_TRUE(ProgramPacket::Decode(f.Data(), p));
      packets.push_back(p);
    }
    return packets;
  }
  UpdateRecorder sink;
};

TEST(FileDownload, ProgramsEachRecordAndReportsProgressByFilePosition) {
  const std::string header = MakeSRecord(0, 0, {'h', 'd', 'r'}) + "\n";
  const std::string data = MakeSRecord(1, 0x1000, Bytes(20)) + "\n";
  const std::string text = header + data + MakeSRecord(5, 1, {}) + "\n";
  TempFile file(text);
  FileUpdate u;
  ASSERT_TRUE(u.Run(file.Path()));

  EXPECT_EQ(u.Commands(), (std::vector<std::uint8_t>{CMD_BEGIN_UPDATE, CMD_ERASE,
                                                     CMD_GET_ERASE_STATUS, CMD_PROGRAM, CMD_PROGRAM,
                                                     CMD_END_DOWNLOAD, CMD_START_APPLICATION}));
  const auto packets = u.Packets();
  EXPECT_EQ(packets[0].address, 0x1000u);
  EXPECT_EQ(packets[0].count, 16);
  EXPECT_EQ(packets[1].address, 0x1010u);
  EXPECT_EQ(packets[1].count, 4);
  EXPECT_EQ(packets[1].bytes[3], Bytes(20)[19]);

  // Virtual time stands still after the erase: one progress text, after the header record.
  const auto percent = static_cast<unsigned>(header.size() * 100 / text.size());
  const std::vector<UpdateEvent> events = {
      {UpdateEvent::kStart, 0, {}},
      {UpdateEvent::kPost, 0, "Erase in progress. Please wait!"},
      {UpdateEvent::kPost, 0, "Erase in progress. Please wait!"},
      {UpdateEvent::kPost, percent,
       std::to_string(percent) + "%: Download in progress (0 Bytes/s) ..."},
      {UpdateEvent::kPost, 100, "Download finished!"},
      {UpdateEvent::kEnd, 1, {}},
  };
  EXPECT_EQ(u.sink.events, events);
  // No pause after a file download.
  EXPECT_EQ(u.timing.TotalSleptMs(), 1000u + 100u);
}

TEST(FileDownload, BootRegionWithoutDataRecordsStillErasesAndEnds) {
  TempFile file(MakeSRecord(0, 0, {}) + "\n" + MakeSRecord(9, 0, {}) + "\n");
  FileUpdate u;
  EXPECT_TRUE(u.Run(file.Path(), /*boot=*/true));
  EXPECT_EQ(u.Commands(), (std::vector<std::uint8_t>{CMD_BEGIN_UPDATE, CMD_ERASE,
                                                     CMD_GET_ERASE_STATUS, CMD_END_DOWNLOAD}));
  EXPECT_EQ(u.device.Frames()[0].Value(), 1);
  EXPECT_EQ(u.sink.Count("Erasing boot - DON'T SWITCH OFF OR DISCONNECT VELMOR!!!"), 2u);
  EXPECT_EQ(u.sink.Texts().back(), "Download finished!");
}

// Whatever is wrong with the file, the device hears nothing and the status names the line.
TEST(FileDownload, BadFilesAreRefusedBeforeAnyCommand) {
  const std::string s1 = MakeSRecord(1, 0x1000, Bytes(16)) + "\n";
  const std::string bad = MakeSRecord(1, 0x1010, Bytes(16));
  struct Case {
    std::string name;
    std::string text;
    std::string status;  // after the file name
  } cases[] = {
      {"checksum", s1 + bad.substr(0, bad.size() - 1) + "0\n", "line 2 of"},
      {"hex digit", s1 + s1 + bad.substr(0, 12) + "g" + bad.substr(13) + "\n", "line 3 of"},
      {"count", bad.substr(0, 3) + "F" + bad.substr(4) + "\n", "line 1 of"},
      {"S4", s1 + MakeSRecord(4, 0, Bytes(4)) + "\n", "line 2 of"},
      {"truncated", s1 + s1 + MakeSRecord(5, 3, {}) + "\n", "line 3 of"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempFile file(c.text);
    FileUpdate u;
    EXPECT_FALSE(u.Run(file.Path()));
    EXPECT_TRUE(u.device.Frames().empty());
    ASSERT_EQ(u.sink.events.size(), 3u);
    const UpdateEvent& status = u.sink.events[1];
    EXPECT_EQ(status.kind, UpdateEvent::kSend);
    EXPECT_EQ(status.percent, 0u);
    EXPECT_EQ(status.text.rfind("ERROR: Bad S-record in " + c.status + " " + file.Path(), 0), 0u)
        << status.text;
    EXPECT_EQ(u.sink.events[2], (UpdateEvent{UpdateEvent::kEnd, 0, {}}));
  }
}

TEST(FileDownload, FileThatDoesNotOpenTouchesNoDevice) {
  FileUpdate u;
  EXPECT_FALSE(u.Run("/nonexistent/fw.s19"));
  EXPECT_TRUE(u.device.Frames().empty());
  EXPECT_EQ(u.sink.events[1],
            (UpdateEvent{UpdateEvent::kSend, 0, "Can't open /nonexistent/fw.s19!"}));
}

TEST(FileDownload, DeviceFailuresFollowTheirOwnRules) {
  const std::string text =
      MakeSRecord(1, 0x1000, Bytes(20)) + "\n" + MakeSRecord(1, 0x2000, Bytes(8)) + "\n";
  TempFile file(text);
  {
    SCOPED_TRACE("device away after the wait and the extra probe");
    FileUpdate u;
    u.device.On(CMD_BEGIN_UPDATE, [&u](const RecordedFrame&, std::uint8_t*) {
      u.device.SetPlugged(false);
      return true;
    });
    EXPECT_FALSE(u.Run(file.Path()));
    EXPECT_EQ(u.Commands(), std::vector<std::uint8_t>{CMD_BEGIN_UPDATE});
    EXPECT_EQ(u.sink.Texts(), std::vector<std::string>{"Erase in progress. Please wait!"});
  }
  {
    SCOPED_TRACE("a refused erase command is left to the poll");
    FileUpdate u;
    u.device.FailCommand(CMD_ERASE);
    EXPECT_TRUE(u.Run(file.Path()));
  }
  {
    SCOPED_TRACE("erase never finishes");
    FileUpdate u;
    u.device.ReplyWord(CMD_GET_ERASE_STATUS, 0);
    EXPECT_FALSE(u.Run(file.Path()));
    EXPECT_EQ(u.device.Frames(CMD_GET_ERASE_STATUS).size(), 100u);
    EXPECT_TRUE(u.device.Frames(CMD_PROGRAM).empty());
    EXPECT_EQ(u.sink.Texts().back(), "ERROR: Please restart unit!");
  }
  {
    SCOPED_TRACE("a refused packet ends the reading after its record");
    FileUpdate u;
    u.device.FailCommand(CMD_PROGRAM);
    EXPECT_FALSE(u.Run(file.Path()));
    EXPECT_EQ(u.Commands(), (std::vector<std::uint8_t>{
                                CMD_BEGIN_UPDATE, CMD_ERASE, CMD_GET_ERASE_STATUS, CMD_PROGRAM,
                                CMD_PROGRAM, CMD_END_DOWNLOAD, CMD_START_APPLICATION}));
    EXPECT_EQ(u.sink.Count("ERROR: Can't write to device"), 2u);
    EXPECT_EQ(u.sink.Count("Download finished!"), 0u);
    EXPECT_EQ(u.sink.events.back(), (UpdateEvent{UpdateEvent::kEnd, 0, {}}));
  }
}

// A committed file with lower-case digits, CRLF endings, comments, a header, a count and an end
// record, against its packets worked out by hand.
TEST(FileDownload, GoldenFileGivesItsGoldenPackets) {
  const std::string data = VELMOR_FIRMWARE_TEST_DATA;
  FileUpdate u;
  ASSERT_TRUE(u.Run(data + "/golden.srec"));
  std::istringstream golden(ReadText(data + "/golden.packets"));
  std::vector<std::string> expected, actual;
  for (std::string line; std::getline(golden, line);) {
    if (!line.empty() && line[0] != '#') expected.push_back(line);
  }
  for (const ProgramPacket& p : u.Packets()) {
    char text[64];
    std::snprintf(text, sizeof text, "%08X %2u ", static_cast<unsigned>(p.address),
                  static_cast<unsigned>(p.count));
    std::string line = text;
    for (unsigned i = 0; i < p.count; ++i) {
      std::snprintf(text, sizeof text, "%02X", p.bytes[i]);
      line += text;
    }
    actual.push_back(line);
  }
  EXPECT_EQ(actual, expected);
}

// Files written by the usual tools program exactly their bytes.
TEST(FileDownload, FilesFromSrecCatAndObjcopyRoundTrip) {
  if (std::string(VELMOR_SREC_CAT).empty()) GTEST_SKIP() << "srec_cat not installed";
  std::vector<std::uint8_t> source(1001);
  std::uint32_t x = 0x2545F491;
  for (auto& b : source) {
    x ^= x << 13, x ^= x >> 17, x ^= x << 5;
    b = static_cast<std::uint8_t>(x);
  }
  std::string binary(source.begin(), source.end());
  TempFile bin(binary, ".bin");

  const std::string srecCat = std::string(VELMOR_SREC_CAT) + " " + bin.Path() + " -binary ";
  struct Tool {
    std::string name;
    std::uint32_t base;
    std::string before;  // the output path goes between the two
    std::string after;
  } tools[] = {
      {"S1", 0x1000, srecCat + "-offset 0x1000 -o ", " -motorola -address-length=2"},
      {"S2", 0x12000, srecCat + "-offset 0x12000 -o ", " -motorola -address-length=3"},
      {"S3", 0x40010000, srecCat + "-offset 0x40010000 -o ", " -motorola -address-length=4"},
      {"objcopy S3", 0x40010000,
       std::string(VELMOR_OBJCOPY) + " -I binary -O srec --srec-forceS3 --change-addresses " +
           "0x40010000 " + bin.Path() + " ",
       ""},
  };
  for (const Tool& tool : tools) {
    SCOPED_TRACE(tool.name);
    TempFile out("");
    ASSERT_EQ(std::system((tool.before + out.Path() + tool.after).c_str()), 0);
    const std::string text = ReadText(out.Path());
    ASSERT_NE(text.find("\n" + tool.name.substr(tool.name.size() - 2)), std::string::npos);

    FileUpdate u;
    ASSERT_TRUE(u.Run(out.Path()));
    // Every record but the last holds a multiple of four bytes, so the packets follow one another
    // and only the last carries fillers.
    std::vector<std::uint8_t> programmed;
    for (const ProgramPacket& p : u.Packets()) {
      ASSERT_EQ(p.address, tool.base + programmed.size());
      programmed.insert(programmed.end(), p.bytes.begin(), p.bytes.begin() + p.count);
    }
    std::vector<std::uint8_t> expected = source;
    expected.resize(1004, 0xFF);
    EXPECT_EQ(programmed, expected);
  }
}

}  // namespace

// A name beyond ASCII opens on every system, and the texts give it back as it was typed.
TEST(FileDownload, NonAsciiFileNameOpensAndIsNamedIntact) {
  const std::u8string name = u8"\u00DCberfw.s19";
  const auto folder = std::filesystem::temp_directory_path() /
                      ("velmor-name-" + std::to_string(std::random_device{}()));
  std::filesystem::create_directories(folder);
  const std::filesystem::path file = folder / name;
  std::ofstream(file) << MakeSRecord(1, 0x1000, Bytes(4)) << "\n";
  const std::u8string utf8 = file.u8string();
  const std::string path(utf8.begin(), utf8.end());

  FileUpdate good;
  EXPECT_TRUE(good.Run(path));
  EXPECT_EQ(good.Packets().size(), 1u);

  std::filesystem::remove_all(folder);
  FileUpdate missing;
  EXPECT_FALSE(missing.Run(path));
  EXPECT_EQ(missing.sink.events[1],
            (UpdateEvent{UpdateEvent::kSend, 0, "Can't open " + path + "!"}));
  EXPECT_NE(path.find("\xC3\x9C"
                      "berfw.s19"),
            std::string::npos);
}
