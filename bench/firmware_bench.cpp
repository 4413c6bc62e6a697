// Speed of the firmware download over the in-process channel, and of the S-record reader.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <random>
#include <string>

#include "device/device_link.h"
#include "device/inprocess_channel.h"
#include "firmware/srecord_file.h"
#include "firmware/update_run.h"

namespace {

// A device that takes every request at once and reports the erase finished.
class AcceptingDevice final : public DeviceEndpoint {
 public:
  bool IsPlugged() override { return true; }
  bool Control(std::span<const std::uint8_t> frame, std::uint8_t* reply) override {
    if (reply != nullptr && frame[0] == CMD_GET_ERASE_STATUS) reply[6] = 1;
    ++frames;
    return true;
  }
  std::uint64_t frames = 0;
};

class NoTiming final : public Timing {
 public:
  void SleepMs(std::uint32_t ms) override { m_now += ms; }
  std::uint32_t TickMs() override { return m_now; }

 private:
  std::uint32_t m_now = 0;
};

class QuietSink final : public firmware::UpdateSink {
 public:
  void Start() override {}
  void PostStatus(unsigned, std::string) override {}
  void SendStatus(unsigned, std::string) override {}
  void End(bool) override {}
};

void DownloadCarriedImage(benchmark::State& state) {
  AcceptingDevice device;
  CDeviceLink link(std::make_unique<InProcessChannel>(device));
  link.SetDeviceName("bench");
  NoTiming timing;
  QuietSink sink;
  for (auto _ : state) {
    firmware::UpdateRun run(link, timing, sink);
    benchmark::DoNotOptimize(firmware::RunUpdate(run));
  }
  // 4,322 program packets per download.
  state.counters["frames"] =
      static_cast<double>(device.frames) / static_cast<double>(state.iterations());
  state.counters["packets/s"] =
      benchmark::Counter(4322, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(DownloadCarriedImage)->Unit(benchmark::kMillisecond);

std::string MakeS3Text(std::size_t dataBytes) {
  std::mt19937 random(5);
  std::string text;
  char line[96];
  for (std::size_t at = 0; at < dataBytes; at += 32) {
    unsigned sum =
        37 + ((at >> 24) & 0xFF) + ((at >> 16) & 0xFF) + ((at >> 8) & 0xFF) + (at & 0xFF);
    int n = std::snprintf(line, sizeof line, "S325%08X", static_cast<unsigned>(at));
    for (int i = 0; i < 32; ++i) {
      const unsigned b = random() & 0xFF;
      sum += b;
      n += std::snprintf(line + n, sizeof line - static_cast<std::size_t>(n), "%02X", b);
    }
    std::snprintf(line + n, sizeof line - static_cast<std::size_t>(n), "%02X\n", ~sum & 0xFF);
    text += line;
  }
  return text;
}

void ReadSRecordText(benchmark::State& state) {
  const std::string text = MakeS3Text(static_cast<std::size_t>(state.range(0)));
  firmware::SRecordFile file;
  for (auto _ : state) benchmark::DoNotOptimize(file.Parse(text));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(ReadSRecordText)->Arg(192 * 1024)->Arg(4 << 20)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
