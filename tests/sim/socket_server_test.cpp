// The local socket protocol as the server speaks it: exact frames, bad responses, probes, malformed
// requests.

#include <gtest/gtest.h>

#include <fstream>

#include "device/device_operations.h"
#include "device/unix_socket.h"
#include "tests/sim/socket_server_fixture.h"

namespace {

using namespace std::chrono_literals;
using namespace simtest;

// Every command the tool sends, with the data edge cases of the link.
void RunEveryCommand(CDeviceLink& link, std::vector<std::pair<bool, ControlReply>>& results) {
  auto ask = [&](unsigned command, unsigned value, unsigned lo, unsigned hi, unsigned length,
                 const void* data, bool withReply) {
    ControlReply reply;
    reply.bytes.fill(0x77);
    const bool ok =
        link.Request(withReply ? &reply : nullptr, command, value, lo, hi, length, data);
    results.emplace_back(ok, reply);
  };
  std::uint8_t data[40];
  for (int i = 0; i < 40; ++i) data[i] = static_cast<std::uint8_t>(0xC0 + i);
  for (std::uint8_t code :
       {CMD_GET_IDENTITY, CMD_GET_BUSY, CMD_GET_SPEED_STATUS, CMD_GET_ERASE_STATUS}) {
    ask(code, 0, 0, 0, 0, nullptr, true);
  }
  ask(CMD_READ_SETTINGS, 234, 4, 0, 0, nullptr, true);
  ask(CMD_WRITE_SETTINGS, 26, 0, 0, 26, data, false);
  ask(CMD_WRITE_SETTINGS, 0, 1, 0, 0, nullptr, false);
  ask(CMD_RESTORE_DEFAULTS, 0, 0, 0, 12, data, false);
  ask(CMD_SET_GAIN, 0xFF88, 0, 0, 0, nullptr, false);
  ask(CMD_SET_POLARITY, 1, 0, 0, 0, nullptr, false);
  ask(CMD_SET_OUTPUT_RATE, 3, 0, 0, 0, nullptr, false);
  ask(0x42, 0x1234, 0xAB, 0xCD, 40, data, true);             // length 40 goes as 26
  ask(CMD_SET_GAIN, 0x10078, 0x101, 0x1FF, 0, data, false);  // only the low bits count
  link.SetEqualization(0x7F, 3180, 318, 75, 7950, true);
  link.SetSpeed(78, -500, 500);
  link.SetMotorVoltage(155);
  link.SetRampSpeed(6);
  link.BeginUpdate(1);
  link.Erase();
  const std::uint8_t program[13] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13};
  link.Program(ProgramPacket::Make(0x4003FFF0, program));
  link.EndDownload();
  link.StartApplication();
}

TEST_F(SocketServerTest, EveryFrameArrivesExactlyAsInProcess) {
  RecordingDevice& overSocket = recorder;
  RecordingDevice inProcess;
  for (RecordingDevice* d : {&overSocket, &inProcess}) {
    for (unsigned code = 0; code < 256; ++code) {
      d->On(static_cast<std::uint8_t>(code), [](const RecordedFrame& f, std::uint8_t* reply) {
        for (int i = 0; i < 32; ++i) reply[i] = static_cast<std::uint8_t>(f.Command() + 3 * i);
        return f.Command() != CMD_GET_BUSY;  // one command fails, to carry the result too
      });
    }
  }
  Serve(overSocket);
  std::vector<std::pair<bool, ControlReply>> socketResults, inProcessResults;
  RunEveryCommand(*simtest::MakeSocketLink(path), socketResults);
  RunEveryCommand(*MakeLinkTo(inProcess), inProcessResults);

  const auto a = overSocket.Frames(), b = inProcess.Frames();
  ASSERT_EQ(a.size(), b.size());
  for (std::size_t i = 0; i < a.size(); ++i) {
    EXPECT_EQ(a[i].bytes, b[i].bytes) << "frame " << i;
    EXPECT_EQ(a[i].replyAsked, b[i].replyAsked) << "frame " << i;
  }
  ASSERT_EQ(socketResults.size(), inProcessResults.size());
  for (std::size_t i = 0; i < socketResults.size(); ++i) {
    EXPECT_EQ(socketResults[i].first, inProcessResults[i].first) << "request " << i;
    EXPECT_EQ(socketResults[i].second.bytes, inProcessResults[i].second.bytes) << "request " << i;
  }
  EXPECT_EQ(a[11].bytes.size(), 32u) << "length 40 went as 26";
}

TEST_F(SocketServerTest, MissingShortOrLateResponsesFailTheRequest) {
  SimDevice& device = MakeDevice();
  Serve(device);
  auto link = simtest::MakeSocketLink(path, 150ms);
  ControlReply reply;
  auto identity = [&] { return link->Request(&reply, CMD_GET_IDENTITY, 0, 0, 0, 0, nullptr); };
  auto gain = [&] { return link->Request(nullptr, CMD_SET_GAIN, 5, 0, 0, 0, nullptr); };

  using Outcome = CDeviceLink::Outcome;
  auto outcome = [&] { return link->Last().outcome; };

  server->SetFaults({0, 1, 0});
  EXPECT_FALSE(identity()) << "no response";
  EXPECT_EQ(outcome(), Outcome::kNoAnswer);
  EXPECT_TRUE(identity());
  EXPECT_EQ(outcome(), Outcome::kCompleted);

  server->SetFaults({0, 0, 2});
  EXPECT_FALSE(identity()) << "half the reply bytes";
  EXPECT_EQ(outcome(), Outcome::kNoAnswer);
  EXPECT_FALSE(gain()) << "an empty response";
  EXPECT_EQ(outcome(), Outcome::kNoAnswer);
  EXPECT_TRUE(gain());

  server->SetFaults({400, 0, 0});
  EXPECT_FALSE(identity()) << "later than the channel waits";
  EXPECT_EQ(outcome(), Outcome::kNoAnswer);
  server->SetFaults({20, 0, 0});
  EXPECT_TRUE(identity()) << "late, but within the time-out";
  EXPECT_EQ(reply.bytes[6], 2);

  // A device that answers "failed" refused; one that is gone was never asked.
  server->SetFaults({});
  device.FailNext(1);
  EXPECT_FALSE(gain());
  EXPECT_EQ(link->Last().command, CMD_SET_GAIN);
  EXPECT_EQ(outcome(), Outcome::kRefused);
  device.Unplug();
  ASSERT_TRUE(simtest::WaitFor([&] { return !link->IsPresent(); }));
  EXPECT_FALSE(identity());
  EXPECT_EQ(link->Last().command, CMD_GET_IDENTITY);
  EXPECT_EQ(outcome(), Outcome::kAbsent);
}

TEST_F(SocketServerTest, PresenceProbeSendsNothing) {
  RecordingDevice& device = recorder;
  Serve(device);
  auto link = simtest::MakeSocketLink(path);
  EXPECT_TRUE(link->IsPresent());
  ASSERT_TRUE(simtest::WaitFor([&] { return log.Find(Kind::kClosed, 1) >= 0; }));
  EXPECT_EQ(log.Find(Kind::kRequest, 1), -1);
  EXPECT_TRUE(device.Frames().empty());
}

TEST_F(SocketServerTest, MalformedRequestsGetAFailedResponse) {
  SimDevice& device = MakeDevice();
  Serve(device);
  const std::vector<std::uint8_t> identity = {CMD_GET_IDENTITY, 0, 0, 0, 0, 0};
  auto with = [&](std::uint8_t output, std::vector<std::uint8_t> frame) {
    frame.insert(frame.begin(), output);
    return RawExchange(path, frame);
  };
  EXPECT_EQ(with(32, identity).size(), 33u);
  EXPECT_EQ(with(32, identity)[0], 1);
  EXPECT_EQ(with(5, identity), std::vector<std::uint8_t>{0}) << "output size neither 0 nor 32";
  EXPECT_EQ(with(0, {CMD_GET_IDENTITY, 0, 0}), std::vector<std::uint8_t>{0}) << "short frame";
  EXPECT_EQ(with(0, {CMD_GET_BUSY, 2, 0, 0, 0, 0}), std::vector<std::uint8_t>{0})
      << "length byte disagrees";
  EXPECT_EQ(with(0, std::vector<std::uint8_t>(40, 0)), std::vector<std::uint8_t>{0}) << "too long";
  const auto failed = with(32, {CMD_GET_IDENTITY, 0});
  ASSERT_EQ(failed.size(), 33u);
  EXPECT_EQ(failed, std::vector<std::uint8_t>(33, 0)) << "failed: status 0 and zero bytes";
  DeviceIdentity id;
  EXPECT_TRUE(device::ReadIdentity(*simtest::MakeSocketLink(path), id)) << "still serving";
}

TEST_F(SocketServerTest, PathInUseStaleOrForeign) {
  SimDevice& device = MakeDevice();
  Serve(device);
  SimSocketServer second(device, path);
  std::string error;
  EXPECT_FALSE(second.Start(error));
  EXPECT_NE(error.find("another simulator"), std::string::npos) << error;
  server->Stop();
  EXPECT_FALSE(simtest::FileExists(path)) << "a stopped server removes its socket file";

  // A socket file left by a simulator that died is replaced.
  const int stale = socket(AF_UNIX, SOCK_SEQPACKET, 0);
  sockaddr_un address;
  ASSERT_TRUE(device::MakeUnixAddress(path, address));
  ASSERT_EQ(bind(stale, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
  close(stale);
  SimSocketServer third(device, path);
  EXPECT_TRUE(third.Start(error)) << error;
  third.Stop();

  std::ofstream(path) << "not a socket";
  SimSocketServer fourth(device, path);
  EXPECT_FALSE(fourth.Start(error));
  EXPECT_TRUE(simtest::FileExists(path)) << "never removes what is not a socket";
}

}  // namespace
