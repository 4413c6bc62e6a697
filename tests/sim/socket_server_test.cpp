// The socket server against the tool's own socket channel, in a private device folder.

#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <thread>

#include "device/device_operations.h"
#include "sim/sim_device.h"
#include "sim/socket_server.h"
#include "tests/sim/sim_test_support.h"
#include "tests/support/recording_device.h"

namespace {

using namespace std::chrono_literals;
using Kind = ConnectionEvent::Kind;

int Connect(const std::string& path) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  const int fd = socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
  if (connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

// Sends one raw message and returns the response message (empty when the server closed).
std::vector<std::uint8_t> RawExchange(const std::string& path, std::vector<std::uint8_t> message) {
  const int fd = Connect(path);
  if (fd < 0) return {0xEE};
  send(fd, message.data(), message.size(), MSG_NOSIGNAL);
  std::vector<std::uint8_t> response(64);
  pollfd p{fd, POLLIN, 0};
  ssize_t got = poll(&p, 1, 3000) == 1 ? recv(fd, response.data(), response.size(), 0) : -1;
  close(fd);
  response.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
  return response;
}

// Records the server's connection events.
class EventLog {
 public:
  void Add(const ConnectionEvent& e) {
    std::lock_guard guard(m_mutex);
    m_events.push_back(e);
  }
  std::vector<ConnectionEvent> Events() const {
    std::lock_guard guard(m_mutex);
    return m_events;
  }
  // Position of an event in the log; -1 when missing.
  int Find(Kind kind, std::uint64_t connection) const {
    std::lock_guard guard(m_mutex);
    for (std::size_t i = 0; i < m_events.size(); ++i) {
      if (m_events[i].kind == kind && m_events[i].connection == connection) {
        return static_cast<int>(i);
      }
    }
    return -1;
  }

 private:
  mutable std::mutex m_mutex;
  std::vector<ConnectionEvent> m_events;
};

class SocketServerTest : public ::testing::Test {
 protected:
  void Serve(DeviceEndpoint& endpoint) {
    server = std::make_unique<SimSocketServer>(endpoint, path);
    server->SetObserver([this](const ConnectionEvent& e) { log.Add(e); });
    std::string error;
    ASSERT_TRUE(server->Start(error)) << error;
  }

  // A simulated device for the test to make; it outlives the server that serves it.
  SimDevice& MakeDevice(SimOptions options = SimOptions::Instant()) {
    sim = std::make_unique<SimDevice>(options);
    return *sim;
  }

  simtest::TempFolder folder;
  std::string path = folder / "VELMORUSBDevice0";
  EventLog log;
  RecordingDevice recorder;
  std::unique_ptr<SimDevice> sim;
  std::unique_ptr<SimSocketServer> server;  // last: stopped before the devices go
};

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

  server->SetFaults({0, 1, 0});
  EXPECT_FALSE(identity()) << "no response";
  EXPECT_TRUE(identity());

  server->SetFaults({0, 0, 2});
  EXPECT_FALSE(identity()) << "half the reply bytes";
  EXPECT_FALSE(gain()) << "an empty response";
  EXPECT_TRUE(gain());

  server->SetFaults({400, 0, 0});
  EXPECT_FALSE(identity()) << "later than the channel waits";
  server->SetFaults({20, 0, 0});
  EXPECT_TRUE(identity()) << "late, but within the time-out";
  EXPECT_EQ(reply.bytes[6], 2);
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

TEST_F(SocketServerTest, UnplugRemovesTheSocketFileAndPlugBringsItBack) {
  SimDevice& device = MakeDevice();
  Serve(device);
  auto link = simtest::MakeSocketLink(path);
  device.Unplug();
  ASSERT_TRUE(simtest::WaitFor([&] { return !simtest::FileExists(path); }));
  EXPECT_FALSE(link->IsPresent());
  DeviceIdentity id;
  EXPECT_FALSE(device::ReadIdentity(*link, id));
  device.Plug();
  ASSERT_TRUE(simtest::WaitFor([&] { return simtest::FileExists(path); }));
  EXPECT_TRUE(device::ReadIdentity(*link, id));
}

TEST_F(SocketServerTest, BeginUpdateTakesTheDeviceAwayForAMoment) {
  SimOptions options = SimOptions::Instant();
  options.restartMs = 300;
  SimDevice& device = MakeDevice(options);
  Serve(device);
  auto link = simtest::MakeSocketLink(path);
  ASSERT_TRUE(link->BeginUpdate(0));
  EXPECT_FALSE(link->IsPresent());
  ASSERT_TRUE(simtest::WaitFor([&] { return link->IsPresent(); }));
  DeviceIdentity id;
  ASSERT_TRUE(device::ReadIdentity(*link, id));
  EXPECT_TRUE(id.BootLoaderOnly());
}

TEST_F(SocketServerTest, RequestsOfTwoThreadsOnOneLinkNeverOverlapOnTheWire) {
  RecordingDevice& device = recorder;
  Serve(device);
  server->SetFaults({200, 0, 0});  // holds each exchange open for 200 ms
  auto link = simtest::MakeSocketLink(path);
  bool ok[2] = {};
  std::thread a([&] { ok[0] = link->Request(nullptr, CMD_SET_GAIN, 1, 0, 0, 0, nullptr); });
  std::thread b([&] { ok[1] = link->Request(nullptr, CMD_SET_GAIN, 2, 0, 0, 0, nullptr); });
  a.join();
  b.join();
  EXPECT_TRUE(ok[0] && ok[1]);
  ASSERT_TRUE(simtest::WaitFor([&] { return log.Find(Kind::kClosed, 2) >= 0; }));
  EXPECT_LT(log.Find(Kind::kAccepted, 1), log.Find(Kind::kRequest, 1));
  EXPECT_LT(log.Find(Kind::kRequest, 1), log.Find(Kind::kResponded, 1));
  EXPECT_LT(log.Find(Kind::kResponded, 1), log.Find(Kind::kClosed, 1));
  EXPECT_LT(log.Find(Kind::kClosed, 1), log.Find(Kind::kAccepted, 2))
      << "the second connection came only after the first one's close";
}

TEST_F(SocketServerTest, TwoLinksDoOverlapSoTheServerWouldSeeIt) {
  RecordingDevice& device = recorder;
  Serve(device);
  server->SetFaults({500, 0, 0});
  auto first = simtest::MakeSocketLink(path), second = simtest::MakeSocketLink(path);
  std::thread a([&] { first->Request(nullptr, CMD_SET_GAIN, 1, 0, 0, 0, nullptr); });
  ASSERT_TRUE(simtest::WaitFor([&] { return log.Find(Kind::kRequest, 1) >= 0; }));
  EXPECT_TRUE(second->Request(nullptr, CMD_SET_GAIN, 2, 0, 0, 0, nullptr));
  a.join();
  ASSERT_TRUE(simtest::WaitFor([&] { return log.Find(Kind::kClosed, 1) >= 0; }));
  EXPECT_LT(log.Find(Kind::kAccepted, 2), log.Find(Kind::kClosed, 1));
}

TEST_F(SocketServerTest, SilentClientDoesNotHoldUpOthers) {
  SimDevice& device = MakeDevice();
  Serve(device);
  const int silent = Connect(path);
  ASSERT_GE(silent, 0);
  ASSERT_TRUE(simtest::WaitFor([&] { return log.Find(Kind::kAccepted, 1) >= 0; }));
  DeviceIdentity id;
  EXPECT_TRUE(device::ReadIdentity(*simtest::MakeSocketLink(path, 2000ms), id));
  close(silent);
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
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
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
