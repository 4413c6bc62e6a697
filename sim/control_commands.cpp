#include "sim/control_commands.h"

#include <cctype>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "sim/sim_device.h"
#include "sim/socket_server.h"
#include "sim/status_text.h"

namespace sim {

namespace {

// The server makes or removes the device object at its next turn; the answer waits for that,
// so that a program started after "unplugged" finds no device object, and after "plugged" one.
void AwaitDeviceObject(const SimSocketServer* server, bool there) {
  if (server == nullptr) return;
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(2);
  std::error_code error;
  while (std::filesystem::exists(server->Path(), error) != there &&
         std::chrono::steady_clock::now() < end) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

std::optional<unsigned long> ParseNumber(const std::string& text, unsigned long max) {
  if (text.empty() || !std::isdigit(static_cast<unsigned char>(text[0]))) return std::nullopt;
  char* end = nullptr;
  const unsigned long v = std::strtoul(text.c_str(), &end, 0);
  if (*end != '\0' || v > max) return std::nullopt;
  return v;
}

std::optional<bool> ParseSwitch(const std::vector<std::string>& words, std::size_t at) {
  if (words.size() <= at) return true;
  if (words.size() > at + 1) return std::nullopt;
  if (words[at] == "on") return true;
  if (words[at] == "off") return false;
  return std::nullopt;
}

ControlResult Ok(std::string text) {
  return {true, std::move(text)};
}
ControlResult Bad(const std::string& text) {
  return {false, text + " (see velmor-sim --help)"};
}

ControlResult Fail(const std::vector<std::string>& w, SimDevice& device) {
  if (w.size() == 3 && w[1] == "next") {
    const auto n = ParseNumber(w[2], 1000000);
    if (!n) return Bad("fail next: N must be a count");
    device.FailNext(static_cast<unsigned>(*n));
    return Ok("the next " + w[2] + " requests fail");
  }
  if (w.size() == 3 && (w[1] == "command" || w[1] == "clear")) {
    const auto code = ParseCommandCode(w[2]);
    if (!code) return Bad("unknown command code '" + w[2] + "'");
    const bool fail = w[1] == "command";
    device.FailCommand(*code, fail);
    return Ok(std::string(CommandName(*code)) + (fail ? " fails from now on" : " works again"));
  }
  return Bad("usage: fail next N | fail command CMD | fail clear CMD");
}

ControlResult Hang(const std::vector<std::string>& w, SimDevice& device) {
  const auto on = ParseSwitch(w, 2);
  if (w.size() < 2 || !on || (w[1] != "erase" && w[1] != "busy")) {
    return Bad("usage: hang erase|busy [on|off]");
  }
  SimFaults faults = device.Faults();
  (w[1] == "erase" ? faults.eraseNeverEnds : faults.busyNeverEnds) = *on;
  device.SetFaults(faults);
  return Ok(w[1] + (*on ? " never ends" : " ends again"));
}

ControlResult Identity(const std::vector<std::string>& w, SimDevice& device) {
  SimFaults faults = device.Faults();
  if (w.size() >= 2 && w[1] == "boot-only") {
    const auto on = ParseSwitch(w, 2);
    if (!on) return Bad("usage: identity boot-only [on|off]");
    faults.bootLoaderOnly = *on;
  } else if (w.size() == 3 && (w[1] == "mode" || w[1] == "flags")) {
    const auto v = ParseNumber(w[2], 0xFF);
    if (!v) return Bad("identity " + w[1] + ": a byte value 0..255");
    (w[1] == "mode" ? faults.deviceMode : faults.hardwareFlags) = static_cast<std::uint8_t>(*v);
  } else if (w.size() == 3 && w[1] == "length") {
    const auto v = ParseNumber(w[2], 0xFFFF);
    if (!v) return Bad("identity length: a value 0..65535");
    faults.imageLength = static_cast<std::uint16_t>(*v);
  } else {
    return Bad("usage: identity mode N | flags N | length N | boot-only [on|off]");
  }
  device.SetFaults(faults);
  return Ok("identity changed");
}

ControlResult Wire(const std::vector<std::string>& w, SimSocketServer* server) {
  if (server == nullptr) return {false, "wire faults need the socket server"};
  if (w.size() != 3 || (w[1] != "delay" && w[1] != "drop" && w[1] != "short")) {
    return Bad("usage: wire delay MS | wire drop N | wire short N");
  }
  const auto v = ParseNumber(w[2], 600000);
  if (!v) return Bad("wire " + w[1] + ": a number");
  WireFaults faults = server->Faults();
  const auto n = static_cast<unsigned>(*v);
  if (w[1] == "delay") faults.delayMs = n;
  if (w[1] == "drop") faults.dropNext = n;
  if (w[1] == "short") faults.shortNext = n;
  server->SetFaults(faults);
  return Ok("wire " + w[1] + " " + w[2]);
}

}  // namespace

const char* ControlUsage() {
  return "control commands:\n"
         "  status                     print the device's state\n"
         "  plug | unplug              create or remove the device object\n"
         "  speed 33|45|78|0           a speed change made on the device\n"
         "  fail next N                the next N requests fail\n"
         "  fail command CMD           every request of CMD fails (name or code)\n"
         "  fail clear CMD             CMD works again\n"
         "  hang erase|busy [on|off]   the erase or the busy state never ends\n"
         "  identity mode N            odd identity values: device mode byte,\n"
         "  identity flags N             hardware flags,\n"
         "  identity length N            settings image length,\n"
         "  identity boot-only [on|off]  application marker 0\n"
         "  wire delay MS              responses go out MS late\n"
         "  wire drop N                the next N requests get no response\n"
         "  wire short N               the next N responses are cut short\n"
         "  reset                      clear every fault\n";
}

std::optional<std::uint8_t> ParseCommandCode(const std::string& text) {
  if (const auto v = ParseNumber(text, 0xFF)) return static_cast<std::uint8_t>(*v);
  std::string name;
  for (char c : text) name += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if (name.rfind("CMD_", 0) == 0) name.erase(0, 4);
  for (unsigned code = 0; code <= 0xFF; ++code) {
    if (name == CommandName(static_cast<std::uint8_t>(code)))
      return static_cast<std::uint8_t>(code);
  }
  return std::nullopt;
}

ControlResult ExecuteControl(const std::vector<std::string>& w, SimDevice& device,
                             SimSocketServer* server) {
  if (w.empty()) return Bad("no command");
  const std::string& verb = w[0];
  if (verb == "help") return Ok(ControlUsage());
  if (verb == "status" && w.size() == 1) return Ok(StatusText(device, server));
  if (verb == "plug" && w.size() == 1) {
    device.Plug();
    AwaitDeviceObject(server, true);
    return Ok("plugged");
  }
  if (verb == "unplug" && w.size() == 1) {
    device.Unplug();
    AwaitDeviceObject(server, false);
    return Ok("unplugged");
  }
  if (verb == "speed") {
    const auto v = w.size() == 2 ? ParseNumber(w[1], 0xFFFF) : std::nullopt;
    if (!v || !device.ChangeSpeedOnDevice(static_cast<std::uint16_t>(*v))) {
      return Bad("usage: speed 33|45|78|0");
    }
    return Ok(*v == 0 ? "motor off on the device" : "speed " + w[1] + " set on the device");
  }
  if (verb == "fail") return Fail(w, device);
  if (verb == "hang") return Hang(w, device);
  if (verb == "identity") return Identity(w, device);
  if (verb == "wire") return Wire(w, server);
  if (verb == "reset" && w.size() == 1) {
    device.ResetFaults();
    if (server != nullptr) server->SetFaults({});
    return Ok("faults cleared");
  }
  return Bad("unknown control command '" + verb + "'");
}

}  // namespace sim
