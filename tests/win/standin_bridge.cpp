// The device-model half of the stand-in driver (test-only, ships nowhere): one simulated
// device behind the kernel side's device object, driven by the simulator's control words.

#include "tests/win/standin_bridge.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "sim/control_commands.h"
#include "sim/sim_device.h"
#include "sim/trace_format.h"

namespace {

// Extra words beside the simulator's own.
constexpr const char* kUsage =
    "stand-in: factory RESTART_MS ERASE_MS BUSY_MS   a new device in its factory state\n"
    "          trace FILE | trace off               one line per request to FILE\n"
    "          changes                              times the device object came or went\n"
    "          wire delay MS | wire drop N          hold answers MS, or the next N until\n"
    "                                               the tool cancels them\n";

class Standin {
 public:
  // Starts unplugged, so that tests which expect no device find none while the driver stays
  // loaded; a test plugs a fresh device with `factory`.
  bool Start(void (*setPresent)(int)) {
    m_setPresent = setPresent;
    Replace(SimOptions{});
    m_device->Unplug();
    std::thread([this] { WatchPresence(); }).detach();
    return true;
  }

  std::shared_ptr<SimDevice> Device() {
    std::lock_guard guard(m_mutex);
    return m_device;
  }

  sim::ControlResult Execute(const std::vector<std::string>& w) {
    if (w.size() == 4 && w[0] == "factory") {
      SimOptions options;
      options.restartMs = static_cast<std::uint32_t>(std::stoul(w[1]));
      options.eraseMs = static_cast<std::uint32_t>(std::stoul(w[2]));
      options.busyMs = static_cast<std::uint32_t>(std::stoul(w[3]));
      Replace(options);
      return {true, "a new device in its factory state"};
    }
    if (w.size() == 2 && w[0] == "trace") return Trace(w[1]);
    if (w.size() == 1 && w[0] == "changes") return Changes();
    if (!w.empty() && w[0] == "wire") return Wire(w);
    if (!w.empty() && w[0] == "help") {
      return {true, std::string(sim::ControlUsage()) + "\n" + kUsage};
    }
    return sim::ExecuteControl(w, *Device(), nullptr);
  }

  long HoldMs() {
    std::lock_guard guard(m_mutex);
    if (m_dropNext > 0) {
      --m_dropNext;
      return -1;
    }
    return static_cast<long>(m_delayMs);
  }

 private:
  void Replace(const SimOptions& options) {
    auto device = std::make_shared<SimDevice>(options);
    std::lock_guard guard(m_mutex);
    m_delayMs = 0;
    m_dropNext = 0;
    device->SetTrace([this](const SimTraceEntry& entry) { WriteTrace(entry); });
    m_device = std::move(device);
  }

  // The socket server's wire faults, as far as a driver can have them: an answer held back.
  sim::ControlResult Wire(const std::vector<std::string>& w) {
    const bool known = w.size() == 3 && (w[1] == "delay" || w[1] == "drop");
    if (!known || w[2].empty() || w[2].size() > 6 ||
        w[2].find_first_not_of("0123456789") != std::string::npos) {
      return {false, "usage: wire delay MS | wire drop N"};
    }
    const auto n = static_cast<unsigned>(std::stoul(w[2]));
    std::lock_guard guard(m_mutex);
    (w[1] == "delay" ? m_delayMs : m_dropNext) = n;
    return {true, "wire " + w[1] + " " + w[2]};
  }

  sim::ControlResult Trace(const std::string& target) {
    std::lock_guard guard(m_traceMutex);
    if (m_trace != nullptr) std::fclose(m_trace);
    m_trace = nullptr;
    if (target == "off") return {true, "trace off"};
    m_trace = std::fopen(target.c_str(), "w");
    if (m_trace == nullptr) return {false, "cannot open the trace file " + target};
    return {true, "trace to " + target};
  }

  void WriteTrace(const SimTraceEntry& entry) {
    std::lock_guard guard(m_traceMutex);
    if (m_trace == nullptr) return;
    std::fprintf(m_trace, "%s\n", sim::FormatTraceLine(entry).c_str());
    std::fflush(m_trace);
  }

  // The device object exists exactly while the model is plugged, as the socket file does. An
  // absence that began and ended between two looks (a restart while this thread waited for
  // the processor) still takes the object away and back, so no watcher misses it.
  void WatchPresence() {
    int shown = -1;
    std::uint64_t absences = 0;
    for (;;) {
      const auto device = Device();
      const int present = device->IsPlugged() ? 1 : 0;
      const std::uint64_t now = device->Absences();
      if (shown == 1 && present == 1 && now != absences) Show(0);
      if (present != shown || now != absences) Show(present);
      shown = present;
      absences = now;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  }

  void Show(int present) {
    m_setPresent(present);
    ++m_changes;
  }

  sim::ControlResult Changes() const { return {true, std::to_string(m_changes.load())}; }

  void (*m_setPresent)(int) = nullptr;
  std::atomic<std::uint64_t> m_changes{0};  // times the device object came or went
  std::mutex m_mutex;                       // guards m_device, m_delayMs, m_dropNext
  std::shared_ptr<SimDevice> m_device;
  unsigned m_delayMs = 0;
  unsigned m_dropNext = 0;
  std::mutex m_traceMutex;  // guards m_trace
  FILE* m_trace = nullptr;
};

// Lives as long as the driver's process; the driver is never unloaded while in use.
Standin& TheStandin() {
  static Standin* standin = new Standin;
  return *standin;
}

std::vector<std::string> Words(const char* text, unsigned long size) {
  std::vector<std::string> words;
  std::string word;
  for (unsigned long i = 0; i < size; ++i) {
    if (text[i] == '\n') {
      words.push_back(word);
      word.clear();
    } else {
      word += text[i];
    }
  }
  if (!word.empty()) words.push_back(word);
  return words;
}

}  // namespace

extern "C" int StandinStart(void (*set_present)(int present)) {
  try {
    return TheStandin().Start(set_present) ? 1 : 0;
  } catch (...) {
    return 0;
  }
}

extern "C" int StandinIsPlugged(void) {
  return TheStandin().Device()->IsPlugged() ? 1 : 0;
}

extern "C" int StandinControl(const unsigned char* frame, unsigned long size,
                              unsigned char* reply) {
  return TheStandin().Device()->Control({frame, size}, reply) ? 1 : 0;
}

extern "C" long StandinHoldMs(void) {
  return TheStandin().HoldMs();
}

extern "C" void StandinLater(unsigned long ms, void (*run)(unsigned long token),
                             unsigned long token) {
  std::thread([=] {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    run(token);
  }).detach();
}

extern "C" int StandinCommand(const char* command, unsigned long size, char* answer,
                              unsigned long capacity, unsigned long* answer_size) {
  sim::ControlResult result;
  try {
    result = TheStandin().Execute(Words(command, size));
  } catch (const std::exception& e) {
    result = {false, e.what()};
  }
  const std::size_t n = std::min<std::size_t>(result.text.size(), capacity);
  std::memcpy(answer, result.text.data(), n);
  *answer_size = static_cast<unsigned long>(n);
  return result.ok ? 1 : 0;
}

// The C runtime calls this from its DLL start-up.
extern "C" int __stdcall DllMain(void*, unsigned long, void*) {
  return 1;
}
