// The velmor-sim binary: its command line, its control commands, a clean stop, and a state
// folder that a kill at any moment leaves whole.

#include <gtest/gtest.h>
#include <signal.h>

#include <atomic>
#include <fstream>
#include <random>
#include <thread>

#include "device/device_operations.h"
#include "settings/settings_document.h"
#include "sim/device_defaults.h"
#include "sim/state_file_header.h"
#include "tests/sim/sim_process.h"
#include "tests/sim/sim_test_support.h"

namespace {

using namespace std::chrono_literals;

class SimProcessTest : public ::testing::Test {
 protected:
  std::unique_ptr<simtest::SimProcess> Start(std::vector<std::string> extra = {}) {
    std::vector<std::string> args = {"--state", state};
    args.insert(args.end(), extra.begin(), extra.end());
    auto process = std::make_unique<simtest::SimProcess>(deviceFolder, args, folder / "sim.log");
    // The socket file alone proves nothing: a killed simulator leaves its file behind.
    auto link = simtest::MakeSocketLink(socket);
    EXPECT_TRUE(simtest::WaitFor([&] { return link->IsPresent(); }, 5000ms))
        << "velmor-sim did not come up";
    return process;
  }

  int Control(std::vector<std::string> words, std::string& output) {
    words.insert(words.begin(), "--control");
    return simtest::RunSim(deviceFolder, words, output);
  }

  // The image the settings file holds, its header checked.
  std::vector<std::uint8_t> SettingsFile() const {
    std::ifstream in(state + "/settings.bin", std::ios::binary);
    const std::vector<std::uint8_t> file{std::istreambuf_iterator<char>(in), {}};
    std::string problem;
    const auto payload = sim::StatePayload(file, SettingsImage::kSize, problem);
    EXPECT_TRUE(payload) << problem;
    return payload.value_or(std::vector<std::uint8_t>{});
  }

  simtest::TempFolder folder;
  std::string deviceFolder = folder / "device";
  std::string state = folder / "state";
  std::string socket = deviceFolder + "/VELMORUSBDevice0";
};

TEST_F(SimProcessTest, ControlFromAnotherProcessAndACleanStop) {
  std::string output;
  EXPECT_EQ(Control({"status"}, output), 1) << "nothing running yet";
  EXPECT_NE(output.find("no simulator is running"), std::string::npos) << output;

  auto sim = Start({"--trace", folder / "trace.txt"});
  EXPECT_EQ(Control({"status"}, output), 0) << output;
  EXPECT_NE(output.find("application V1.012 of 01.02.2006"), std::string::npos) << output;
  EXPECT_EQ(Control({"speed", "45"}, output), 0) << output;
  EXPECT_EQ(Control({"speed", "46"}, output), 2) << output;
  EXPECT_EQ(Control({"launch"}, output), 2) << output;

  auto link = simtest::MakeSocketLink(socket);
  EXPECT_EQ(device::ReadSpeedStatus(*link), SPEED_STATUS_45 | SPEED_STATUS_CHANGED);
  // The answer comes once the device object has gone or come: a script's next program sees it.
  EXPECT_EQ(Control({"unplug"}, output), 0);
  EXPECT_FALSE(simtest::FileExists(socket));
  EXPECT_EQ(Control({"plug"}, output), 0);
  EXPECT_TRUE(simtest::FileExists(socket));

  EXPECT_EQ(sim->Stop(SIGTERM), 0);
  EXPECT_FALSE(simtest::FileExists(socket));
  EXPECT_FALSE(simtest::FileExists(deviceFolder + "/velmor-sim.control"));
  std::ifstream trace(folder / "trace.txt");
  std::string line;
  ASSERT_TRUE(std::getline(trace, line));
  EXPECT_EQ(line.rfind("GET_SPEED_STATUS (0x13) value=0x0000 index=0x0000 data=- result=ok "
                       "reply=00 00 00 00 00 00 05 00",
                       0),
            0u)
      << line;
}

TEST_F(SimProcessTest, BadCommandLineIsAUsageError) {
  std::string output;
  EXPECT_EQ(simtest::RunSim(deviceFolder, {"--bogus"}, output), 2) << output;
  EXPECT_EQ(simtest::RunSim(deviceFolder, {"--state", state, "--control", "status"}, output), 2)
      << output;
}

TEST_F(SimProcessTest, SecondSimulatorOnTheSameFolderRefusesToStart) {
  auto sim = Start();
  std::string output;
  EXPECT_EQ(simtest::RunSim(deviceFolder, {"--state", state}, output), 1);
  EXPECT_NE(output.find("in use"), std::string::npos) << output;
  EXPECT_TRUE(simtest::FileExists(socket));
}

// The image bytes that no ranged field covers: any value there keeps the settings startable.
std::vector<std::size_t> FreeBytes(const SettingsImage& base) {
  std::vector<std::size_t> free;
  for (std::size_t at = 0; at < sim::kImageLength; ++at) {
    bool any = true;
    for (std::uint8_t value : {std::uint8_t{1}, std::uint8_t{0x80}, std::uint8_t{250}}) {
      SettingsImage image = base;
      image.Bytes()[at] = value;
      any = any && settings::RangeProblems(image).empty();
    }
    if (any) free.push_back(at);
  }
  return free;
}

// `base` with every free byte set to `value`.
std::vector<std::uint8_t> Marked(const SettingsImage& base, const std::vector<std::size_t>& free,
                                 std::uint8_t value) {
  std::vector<std::uint8_t> image(base.Bytes().begin(), base.Bytes().end());
  for (std::size_t at : free) image[at] = value;
  return image;
}

// Commits whole images marked 1, 2, 3, ... in their free bytes, until told to stop.
void HammerWrites(const std::string& socket, std::atomic<bool>& stop, const SettingsImage& base,
                  const std::vector<std::size_t>& free) {
  auto link = simtest::MakeSocketLink(socket, 1000ms);
  for (int value = 1; !stop; value = value % 250 + 1) {
    const std::vector<std::uint8_t> image = Marked(base, free, static_cast<std::uint8_t>(value));
    for (unsigned offset = 0; offset < sim::kImageLength; offset += 26) {
      const auto n = std::min<unsigned>(26, sim::kImageLength - offset);
      link->Request(nullptr, CMD_WRITE_SETTINGS, offset, 0, 0, n, &image[offset]);
    }
    if (!link->Request(nullptr, CMD_WRITE_SETTINGS, 0, 1, 0, 0, nullptr) && stop) return;
  }
}

TEST_F(SimProcessTest, KillDuringWritesNeverLeavesATornSettingsFile) {
  const auto seed = std::random_device{}();
  SCOPED_TRACE("seed " + std::to_string(seed));
  std::mt19937 random(seed);
  const SettingsImage factory = sim::DeviceDefaults(sim::FactorySystemData());
  std::vector<std::uint8_t> before(factory.Bytes().begin(), factory.Bytes().end());
  const std::vector<std::size_t> free = FreeBytes(factory);
  ASSERT_GT(free.size(), 200u) << "too few bytes to tell a torn image apart";

  for (int round = 0; round < 20; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    auto sim = Start({"--busy-ms", "0"});
    // What the restarted simulator serves is what the file held.
    auto link = simtest::MakeSocketLink(socket);
    for (unsigned offset = 0; offset < sim::kImageLength; offset += 26) {
      ControlReply reply;
      const auto n = std::min<unsigned>(26, sim::kImageLength - offset);
      ASSERT_TRUE(link->Request(&reply, CMD_READ_SETTINGS, offset, n, 0, 0, nullptr));
      ASSERT_TRUE(std::equal(reply.bytes.begin() + 6, reply.bytes.begin() + 6 + n,
                             before.begin() + offset));
    }

    std::atomic<bool> stop{false};
    std::thread hammer(HammerWrites, socket, std::ref(stop), std::cref(factory), std::cref(free));
    std::this_thread::sleep_for(std::chrono::milliseconds(5 + random() % 60));
    EXPECT_EQ(sim->Stop(SIGKILL), 128 + SIGKILL);
    stop = true;
    hammer.join();

    const auto after = SettingsFile();
    ASSERT_EQ(after.size(), 256u);
    const bool unchanged = after == before;
    const std::uint8_t mark = after[free.front()];
    const bool whole = after == Marked(factory, free, mark);
    EXPECT_TRUE(unchanged || (whole && mark >= 1 && mark <= 250))
        << "torn settings file after a kill";
    before = after;
  }
}

}  // namespace
