// The wire's byte layouts: each value encoded at its offsets and read back unchanged.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <limits>
#include <utility>
#include <vector>

#include "device/wire.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Join(Bytes head, const Bytes& tail) {
  head.insert(head.end(), tail.begin(), tail.end());
  return head;
}

TEST(ProgramPacket, RoundTripsThroughItsPayload) {
  struct Case {
    const char* what;
    std::uint32_t address;
    std::size_t given;    // data bytes offered to Make
    std::uint16_t count;  // what goes on the wire
  };
  const std::vector<Case> cases = {
      {"a full packet", 0x40010000, 16, 16},
      {"a short tail is padded to a multiple of four", 0x40010000, 13, 16},
      {"one byte takes three fillers", 0x4003FFF0, 1, 4},
      {"four bytes need no filler", 0x12345678, 4, 4},
      {"more than 16 bytes: 16 are taken", 0x40020000, 40, 16},
      {"nothing to send", 0xFFFFFFFC, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Bytes data(c.given);
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i);
    const ProgramPacket packet = ProgramPacket::Make(c.address, data);
    EXPECT_EQ(packet.count, c.count);

    std::uint8_t out[ProgramPacket::kHeaderSize + ProgramPacket::kMaxBytes];
    ASSERT_EQ(packet.Encode(out), ProgramPacket::kHeaderSize + c.count);
    EXPECT_EQ(out[0], static_cast<std::uint8_t>(c.address));
    EXPECT_EQ(out[3], static_cast<std::uint8_t>(c.address >> 24));
    EXPECT_EQ(out[4], c.count);
    EXPECT_EQ(out[5], 0);
    const std::size_t taken = std::min<std::size_t>(c.given, ProgramPacket::kMaxBytes);
    for (std::size_t i = 0; i < c.count; ++i) {
      EXPECT_EQ(out[6 + i], i < taken ? data[i] : ProgramPacket::kFiller) << "byte " << i;
    }

    ProgramPacket back;
    ASSERT_TRUE(ProgramPacket::Decode({out, ProgramPacket::kHeaderSize + c.count}, back));
    EXPECT_EQ(back.address, c.address);
    EXPECT_EQ(back.count, c.count);
    EXPECT_TRUE(std::equal(back.bytes.begin(), back.bytes.begin() + c.count, out + 6));
  }
}

TEST(ProgramPacket, PayloadsThatAreNoPacketAreRefused) {
  struct Case {
    const char* what;
    Bytes payload;
  };
  const std::vector<Case> cases = {
      {"shorter than the header", {0, 0, 1, 0x40, 4}},
      {"a count above 16", Join({0, 0, 1, 0x40, 20, 0}, Bytes(20, 0xAA))},
      {"a count that is no multiple of four", Join({0, 0, 1, 0x40, 3, 0}, Bytes(3, 0xAA))},
      {"fewer bytes than the count", Join({0, 0, 1, 0x40, 8, 0}, Bytes(4, 0xAA))},
      {"more bytes than the count", Join({0, 0, 1, 0x40, 4, 0}, Bytes(8, 0xAA))},
  };
  for (const Case& c : cases) {
    ProgramPacket packet;
    EXPECT_FALSE(ProgramPacket::Decode(c.payload, packet)) << c.what;
  }
}

TEST(DeviceIdentity, FieldsRoundTripAtTheirOffsets) {
  struct Case {
    const char* what;
    std::uint8_t mode;
    std::uint16_t imageLength;
    std::uint8_t flags;
    DeviceIdentity::Firmware boot;
    DeviceIdentity::Firmware application;
    bool applicationRunning;
    bool bootLoaderOnly;
  };
  const std::vector<Case> cases = {
      {"the simulator's device",
       2,
       238,
       0x3A,
       {kBootMarker, 10, 1, 6, 1, 2},
       {kApplicationMarker, 1, 2, 6, 1, 12},
       true,
       false},
      {"boot loader only", 2, 238, 0x3A, {kBootMarker, 10, 1, 6, 1, 2}, {}, false, true},
      {"every field at its top",
       0xFF,
       0xFFFF,
       0xFF,
       {0xFF, 31, 12, 99, 0xFFFF, 0xFFFF},
       {0xFF, 31, 12, 99, 0xFFFF, 0xFFFF},
       false,
       false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    DeviceIdentity identity;
    identity.SetDeviceMode(c.mode);
    identity.SetImageLength(c.imageLength);
    identity.SetHardwareFlags(c.flags);
    identity.SetBoot(c.boot);
    identity.SetApplication(c.application);

    DeviceIdentity back;
    back.bytes = identity.bytes;
    EXPECT_EQ(back.DeviceMode(), c.mode);
    EXPECT_EQ(back.ImageLength(), c.imageLength);
    EXPECT_EQ(back.HardwareFlags(), c.flags);
    for (const auto& [got, want] :
         {std::pair{back.Boot(), c.boot}, std::pair{back.Application(), c.application}}) {
      EXPECT_EQ(got.marker, want.marker);
      EXPECT_EQ(got.day, want.day);
      EXPECT_EQ(got.month, want.month);
      EXPECT_EQ(got.year, want.year);
      EXPECT_EQ(got.major, want.major);
      EXPECT_EQ(got.minor, want.minor);
    }
    EXPECT_EQ(back.ApplicationRunning(), c.applicationRunning);
    EXPECT_EQ(back.BootLoaderOnly(), c.bootLoaderOnly);
  }

  // Reply bytes 6..27 of the simulator's identity, as its trace shows them.
  DeviceIdentity sim;
  sim.SetDeviceMode(2);
  sim.SetImageLength(238);
  sim.SetHardwareFlags(0x3A);
  sim.SetBoot(cases[0].boot);
  sim.SetApplication(cases[0].application);
  const std::array<std::uint8_t, DeviceIdentity::kSize> golden = {
      0x02, 0x00, 0xEE, 0x00, 0x3A, 0x00, 0x21, 0x0A, 0x01, 0x06, 0x01,
      0x00, 0x02, 0x00, 0x22, 0x01, 0x02, 0x06, 0x01, 0x00, 0x0C, 0x00};
  EXPECT_EQ(sim.bytes, golden);
}

TEST(Payloads, EqualizationAndSpeedRoundTrip) {
  struct EqCase {
    const char* what;
    EqualizationPayload payload;
    Bytes wire;
    std::uint8_t modeBack;
  };
  const std::vector<EqCase> eq = {
      {"a preset", {0, true, {0, 398, 64, 0}}, {0x00, 0x01, 0, 0, 0x8E, 0x01, 0x40, 0, 0, 0}, 0},
      {"mode bits above bit 0",
       {0x7F, false, {3180, 318, 75, 7950}},
       {0xFE, 0x00, 0x6C, 0x0C, 0x3E, 0x01, 0x4B, 0x00, 0x0E, 0x1F},
       0x7F},
      {"a mode beyond seven bits keeps its low seven",
       {0xFF, true, {0xFFFF, 0, 0, 1}},
       {0xFE, 0x01, 0xFF, 0xFF, 0, 0, 0, 0, 1, 0},
       0x7F},
  };
  for (const EqCase& c : eq) {
    SCOPED_TRACE(c.what);
    std::uint8_t out[EqualizationPayload::kSize];
    c.payload.Encode(out);
    EXPECT_EQ(Bytes(out, out + sizeof out), c.wire);
    const EqualizationPayload back = EqualizationPayload::Decode(out);
    EXPECT_EQ(back.curveMode, c.modeBack);
    EXPECT_EQ(back.preset, c.payload.preset);
    EXPECT_EQ(back.t, c.payload.t);
  }

  struct SpeedCase {
    const char* what;
    SpeedPayload payload;
    Bytes wire;
  };
  constexpr auto kMin = std::numeric_limits<std::int16_t>::min();
  const std::vector<SpeedCase> speed = {
      {"signed corrections", {45, -12, 5}, {45, 0, 0xF4, 0xFF, 5, 0}},
      {"the corrections' range", {33, -500, 500}, {33, 0, 0x0C, 0xFE, 0xF4, 0x01}},
      {"stop with the widest values", {0, kMin, -1}, {0, 0, 0x00, 0x80, 0xFF, 0xFF}},
  };
  for (const SpeedCase& c : speed) {
    SCOPED_TRACE(c.what);
    std::uint8_t out[SpeedPayload::kSize];
    c.payload.Encode(out);
    EXPECT_EQ(Bytes(out, out + sizeof out), c.wire);
    const SpeedPayload back = SpeedPayload::Decode(out);
    EXPECT_EQ(back.speed, c.payload.speed);
    EXPECT_EQ(back.absolute, c.payload.absolute);
    EXPECT_EQ(back.relative, c.payload.relative);
  }
}

TEST(ReceivedFrame, ParsesWhatTheLinkSendsAndNothingElse) {
  ReceivedFrame frame;
  const Bytes program = {0x86, 10, 0x34, 0x12, 0x01, 0x02, 0, 0, 1, 0x40, 4, 0, 1, 2, 3, 4};
  ASSERT_TRUE(ReceivedFrame::Parse(program, frame));
  EXPECT_EQ(frame.command, CMD_PROGRAM);
  EXPECT_EQ(frame.value, 0x1234);
  EXPECT_EQ(frame.index, 0x0201);
  EXPECT_EQ(Bytes(frame.data.begin(), frame.data.end()), Bytes(program.begin() + 6, program.end()));

  const std::vector<Bytes> bad = {
      {0x01, 0, 0, 0, 0},                          // shorter than the header
      {0x01, 1, 0, 0, 0, 0},                       // a length byte with no data
      {0x01, 0, 0, 0, 0, 0, 0xAA},                 // data the length byte does not claim
      Join({0x8C, 27, 0, 0, 0, 0}, Bytes(27, 0)),  // more than 26 data bytes
  };
  for (const Bytes& bytes : bad) EXPECT_FALSE(ReceivedFrame::Parse(bytes, frame));
}

}  // namespace
