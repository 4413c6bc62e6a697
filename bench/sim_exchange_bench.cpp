// Exchanges per second over the local socket against the simulator's server: through the
// tool's CDeviceLink, and as a bare connect/send/receive/close loop against the same server.
// The ratio of the two is what the link itself costs. Prints both figures and the ratio.

#include <benchmark/benchmark.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>

#include "device/device_link.h"
#include "device/inprocess_channel.h"
#include "device/socket_channel.h"
#include "device/unix_socket.h"
#include "sim/sim_device.h"
#include "sim/socket_server.h"

namespace {

// Collects items per second of each benchmark beside the console output; with repetitions,
// their median.
class RateReporter : public benchmark::ConsoleReporter {
 public:
  RateReporter() : ConsoleReporter(isatty(1) ? OO_Defaults : OO_Tabular) {}

  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      const auto it = run.counters.find("items_per_second");
      if (it == run.counters.end()) continue;
      // With aggregates only, the repetitions never reach the reporter; their median does.
      if (run.run_type == Run::RT_Iteration || run.aggregate_name == "median") {
        m_rates[run.run_name.function_name].push_back(it->second.value);
      }
    }
    ConsoleReporter::ReportRuns(runs);
  }

  double Rate(const std::string& name) const {
    const auto it = m_rates.find(name);
    if (it == m_rates.end() || it->second.empty()) return 0;
    std::vector<double> rates = it->second;
    std::sort(rates.begin(), rates.end());
    return rates[rates.size() / 2];
  }

 private:
  std::map<std::string, std::vector<double>> m_rates;  // items per second of each run
};

// One exchange the way any outside tool could do it: no lock, no request buffer.
bool BareExchange(const sockaddr_un& address) {
  const int fd = socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  bool ok = false;
  if (connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) {
    const std::uint8_t message[7] = {32, CMD_GET_IDENTITY, 0, 0, 0, 0, 0};
    std::uint8_t response[33];
    ok = send(fd, message, sizeof message, MSG_NOSIGNAL) == sizeof message &&
         recv(fd, response, sizeof response, 0) == sizeof response && response[0] == 1;
  }
  close(fd);
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  char folder[] = "/tmp/velmor-bench.XXXXXX";
  if (mkdtemp(folder) == nullptr) return 1;
  const std::string path = std::string(folder) + "/VELMORUSBDevice0";

  SimDevice device(SimOptions::Instant());
  SimSocketServer server(device, path);
  std::string error;
  if (!server.Start(error)) {
    std::fprintf(stderr, "sim_exchange_bench: %s\n", error.c_str());
    return 1;
  }
  CDeviceLink socketLink(std::make_unique<SocketChannel>());
  socketLink.SetDeviceName(path.c_str());
  CDeviceLink inProcessLink(std::make_unique<InProcessChannel>(device));
  inProcessLink.SetDeviceName(path.c_str());
  sockaddr_un address;
  device::MakeUnixAddress(path, address);

  auto linkRequest = [](CDeviceLink& link) {
    return [&link](benchmark::State& state) {
      for (auto _ : state) {
        ControlReply reply;
        if (!link.Request(&reply, CMD_GET_IDENTITY, 0, 0, 0, 0, nullptr)) {
          state.SkipWithError("request failed");
          break;
        }
        benchmark::DoNotOptimize(reply);
      }
      state.SetItemsProcessed(state.iterations());
    };
  };
  benchmark::RegisterBenchmark("socket/CDeviceLink::Request", linkRequest(socketLink))
      ->UseRealTime();
  benchmark::RegisterBenchmark("socket/bare_exchange", [&address](benchmark::State& state) {
    for (auto _ : state) {
      if (!BareExchange(address)) {
        state.SkipWithError("exchange failed");
        break;
      }
    }
    state.SetItemsProcessed(state.iterations());
  })->UseRealTime();
  benchmark::RegisterBenchmark("inprocess/CDeviceLink::Request", linkRequest(inProcessLink))
      ->UseRealTime();

  benchmark::Initialize(&argc, argv);
  RateReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  server.Stop();
  std::filesystem::remove_all(folder);

  const double link = reporter.Rate("socket/CDeviceLink::Request");
  const double bare = reporter.Rate("socket/bare_exchange");
  if (link > 0 && bare > 0) {
    std::printf("\nexchanges per second over the socket: CDeviceLink::Request %.0f, bare %.0f\n",
                link, bare);
    std::printf("link / bare = %.3f\n", link / bare);
  }
  return 0;
}
