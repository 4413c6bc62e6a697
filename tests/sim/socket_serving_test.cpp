// How the server serves: the device coming and going, one exchange at a time per link, slow
// clients.

#include <gtest/gtest.h>

#include <thread>

#include "device/device_operations.h"
#include "tests/sim/socket_server_fixture.h"

namespace {

using namespace std::chrono_literals;
using namespace simtest;

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

}  // namespace
