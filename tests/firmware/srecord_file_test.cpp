#include <gtest/gtest.h>

#include <unistd.h>

#include <cctype>
#include <string>
#include <vector>

#include "firmware/srecord_file.h"
#include "tests/firmware/update_recorder.h"

namespace {

using firmware::SRecordFault;
using firmware::SRecordFile;
using firmware::SRecordLine;

std::vector<std::uint8_t> Bytes(std::size_t n, std::uint8_t first = 0) {
  std::vector<std::uint8_t> v(n);
  for (std::size_t i = 0; i < n; ++i) v[i] = static_cast<std::uint8_t>(first + i);
  return v;
}

TEST(SRecordLine, ReadsEachRecordTypeWithItsAddressWidth) {
  struct Case {
    unsigned type;
    std::uint32_t address;
    std::size_t bytes;
  } cases[] = {{0, 0x0000, 6},      {1, 0x1234, 16}, {2, 0x123456, 32}, {3, 0x40010000, 5},
               {3, 0xFFFFFFF0, 16}, {5, 0x0003, 0},  {6, 0x011170, 0},  {7, 0x40010000, 0},
               {8, 0x012000, 0},    {9, 0x1000, 0},  {1, 0x0000, 252}};
  for (const Case& c : cases) {
    const std::string line = MakeSRecord(c.type, c.address, Bytes(c.bytes, 0xF0));
    SCOPED_TRACE(line);
    SRecordLine parsed;
    ASSERT_EQ(firmware::ParseSRecordLine(line, parsed), SRecordFault::kNone);
    EXPECT_EQ(parsed.type, c.type);
    EXPECT_EQ(parsed.address, c.address);
    ASSERT_EQ(parsed.length, c.bytes);
    const auto expected = Bytes(c.bytes, 0xF0);
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), parsed.data.begin()));
  }
}

TEST(SRecordLine, RefusesMalformedRecords) {
  const std::string good = MakeSRecord(1, 0x1000, Bytes(4));
  struct Case {
    std::string line;
    SRecordFault fault;
  } cases[] = {
      {good.substr(0, good.size() - 2) + "5F", SRecordFault::kBadChecksum},
      {good.substr(0, 10) + "G" + good.substr(11), SRecordFault::kBadHexDigit},
      {"SX" + good.substr(2), SRecordFault::kBadHexDigit},
      {good.substr(0, good.size() - 2), SRecordFault::kCountDoesNotFitLine},
      {good + "00", SRecordFault::kCountDoesNotFitLine},
      {good + "0", SRecordFault::kCountDoesNotFitLine},
      {good + " x", SRecordFault::kBadHexDigit},
      {"S1", SRecordFault::kCountDoesNotFitLine},
      {"S", SRecordFault::kCountDoesNotFitLine},
      {"S10200FD", SRecordFault::kCountTooSmall},
      {MakeSRecord(4, 0, Bytes(4)), SRecordFault::kUnsupportedType},
      {"SA0300FC", SRecordFault::kUnknownType},
      {MakeSRecord(9, 0x1000, Bytes(2)), SRecordFault::kDataInCountOrEndRecord},
      {MakeSRecord(3, 0xFFFFFFF8, Bytes(9)), SRecordFault::kBeyondAddressSpace},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    SRecordLine parsed;
    EXPECT_EQ(firmware::ParseSRecordLine(c.line, parsed), c.fault);
  }
  SRecordLine parsed;
  EXPECT_EQ(firmware::ParseSRecordLine(good + "\r", parsed), SRecordFault::kNone);
  std::string lower = good;
  for (std::size_t i = 2; i < lower.size(); ++i)
    lower[i] = static_cast<char>(std::tolower(lower[i]));
  EXPECT_EQ(firmware::ParseSRecordLine(lower, parsed), SRecordFault::kNone);
}

TEST(SRecordFile, KeepsLineNumbersPositionsAndSkipsWhatIsNoRecord) {
  const std::string text = MakeSRecord(0, 0, Bytes(3)) + "\n" + "; a comment\n\n" +
                           MakeSRecord(1, 0x1000, Bytes(20)) + "\r\n" + MakeSRecord(5, 1, {}) +
                           "\n" + MakeSRecord(9, 0x1000, {});
  SRecordFile file;
  ASSERT_TRUE(file.Parse(text)) << file.FaultText("t");
  ASSERT_EQ(file.Records().size(), 4u);
  EXPECT_EQ(file.Length(), text.size());
  EXPECT_EQ(file.DataRecords(), 1u);
  EXPECT_EQ(file.DataBytes(), 20u);
  const auto& data = file.Records()[1];
  EXPECT_EQ(data.line, 4u);
  EXPECT_EQ(data.address, 0x1000u);
  EXPECT_EQ(data.position, text.find(MakeSRecord(5, 1, {})));
  EXPECT_EQ(file.Data(data)[19], 19);
  EXPECT_EQ(file.Records()[0].length, 0u);  // the header's text is not programmed
  EXPECT_EQ(file.Records()[3].line, 6u);
  EXPECT_EQ(file.Records()[3].position, text.size());
}

TEST(SRecordFile, FaultNamesTheFirstBadLine) {
  const std::string s1 = MakeSRecord(1, 0x1000, Bytes(16)) + "\n";
  struct Case {
    std::string text;
    std::uint32_t line;
    SRecordFault fault;
  } cases[] = {
      {s1 + s1 + MakeSRecord(5, 3, {}) + "\n", 3, SRecordFault::kRecordCountMismatch},
      {s1 + MakeSRecord(5, 1, {}) + "\n" + s1 + MakeSRecord(6, 1, {}) + "\n", 4,
       SRecordFault::kRecordCountMismatch},
      {s1 + "S1" + std::string(1100, '0') + "\n" + s1, 2, SRecordFault::kLineTooLong},
      {s1 + "SB0300FC\n" + "Some text\n", 2, SRecordFault::kUnknownType},
      {s1 + s1 + "Some text\n", 3, SRecordFault::kBadHexDigit},
      {s1 + s1.substr(0, 20), 2, SRecordFault::kCountDoesNotFitLine},
      {"no records at all\n\n", 0, SRecordFault::kNoRecords},
      {"", 0, SRecordFault::kNoRecords},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text.substr(0, 60));
    SRecordFile file;
    EXPECT_FALSE(file.Parse(c.text));
    EXPECT_EQ(file.FaultLine(), c.line);
    EXPECT_EQ(file.Fault(), c.fault);
  }
  SRecordFile file;
  file.Parse(s1 + s1 + MakeSRecord(5, 3, {}));
  EXPECT_EQ(file.FaultText("fw.s19"),
            "ERROR: Bad S-record in line 3 of fw.s19 (record count does not match the data "
            "records)");
  // A long line that is no record is skipped like any other.
  EXPECT_TRUE(file.Parse(std::string(5000, '#') + "\n" + s1));
}

TEST(SRecordFile, RefusesAFileAboveTheSizeLimitAndOneThatDoesNotOpen) {
  TempFile big("");
  ASSERT_EQ(truncate(big.Path().c_str(), SRecordFile::kMaxFileBytes + 1), 0);
  SRecordFile file;
  EXPECT_EQ(file.ReadFile(big.Path()), SRecordFile::Load::kBad);
  EXPECT_EQ(file.Fault(), SRecordFault::kFileTooLarge);
  EXPECT_EQ(file.FaultText("big"), "ERROR: Bad S-record file big (file too large)");
  EXPECT_EQ(file.ReadFile(big.Path() + ".missing"), SRecordFile::Load::kCannotOpen);
}

}  // namespace

namespace {

// What a window keeps out: data below or above it, named by its first byte outside, and more
// data in all than it holds, which only overlapping records can bring.
TEST(SRecordFile, AWindowRefusesDataOutsideItAndMoreThanItHolds) {
  struct Case {
    std::string text;
    firmware::SRecordFault fault;
    std::uint32_t line;
    std::uint64_t address;
  };
  using firmware::SRecordFault;
  const std::vector<Case> cases = {
      {MakeSRecord(3, 0x0FF0, Bytes(16)), SRecordFault::kOutsideWindow, 1, 0x0FF0},
      {MakeSRecord(3, 0x1000, Bytes(16)) + "\n" + MakeSRecord(3, 0x1018, Bytes(16)),
       SRecordFault::kOutsideWindow, 2, 0x1020},
      {MakeSRecord(3, 0x1000, Bytes(32)) + "\n" + MakeSRecord(3, 0x1000, Bytes(1)),
       SRecordFault::kMoreThanWindow, 2, 0},
  };
  for (const Case& c : cases) {
    firmware::SRecordFile file;
    file.SetWindow(0x1000, 0x1020);
    EXPECT_FALSE(file.Parse(c.text));
    EXPECT_EQ(file.Fault(), c.fault);
    EXPECT_EQ(file.FaultLine(), c.line);
    EXPECT_EQ(file.FaultAddress(), c.address);
  }
  firmware::SRecordFile file;
  file.SetWindow(0x1000, 0x1020);
  EXPECT_TRUE(file.Parse(MakeSRecord(3, 0x1000, Bytes(32)) + "\n" + MakeSRecord(7, 0, {})));
}

}  // namespace
