// velmorctl update: a firmware update driven from the terminal, checked before its first
// command and followed until the device runs again.

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "cli/commands.h"
#include "cli/console_sink.h"
#include "cli/json_output.h"
#include "cli/update_checks.h"
#include "cli/update_guard.h"
#include "device/device_operations.h"
#include "device/update_lock.h"
#include "device/version_text.h"
#include "firmware/update_run.h"

namespace cli {

namespace {

// How long an update waits for a device that went away; tests shorten it.
constexpr std::uint32_t kReturnLimitMs = 30000;
constexpr const char* kReturnLimitVariable = "VELMORCTL_REPLUG_WAIT_MS";
constexpr std::uint32_t kReturnPollMs = 100;

std::uint32_t ReturnLimitMs() {
  const char* given = std::getenv(kReturnLimitVariable);
  if (given == nullptr || *given == '\0') return kReturnLimitMs;
  char* end = nullptr;
  const unsigned long ms = std::strtoul(given, &end, 10);
  return *end == '\0' && ms <= kReturnLimitMs ? static_cast<std::uint32_t>(ms) : kReturnLimitMs;
}

// "30 s", "0.5 s".
std::string SecondsText(std::uint32_t ms) {
  char text[32];
  if (ms % 1000 == 0) {
    std::snprintf(text, sizeof text, "%u s", static_cast<unsigned>(ms / 1000));
  } else {
    std::snprintf(text, sizeof text, "%.1f s", ms / 1000.0);
  }
  return text;
}

std::string RunningText(const DeviceIdentity& identity) {
  const DeviceIdentity::Firmware app = identity.Application();
  return "application " + device::FormatVersion(app.major, app.minor) + " (" +
         device::FormatDate(app.day, app.month, 2000u + app.year) + ")";
}

// How the update's run ended, as far as the device is concerned.
struct RunEnd {
  device::RestartOutcome seen;
  bool stayedAway = false;  // went away and did not come back within the limit
  std::uint32_t limitMs = kReturnLimitMs;
};

// Where an update that did not succeed left the device, and how to get its application back.
std::string StateAfter(const RunEnd& end, const UpdateOptions& options) {
  const std::string recovery = RecoveryCommand(options);
  const device::RestartOutcome& seen = end.seen;
  if (seen.answered && seen.identity.ApplicationRunning()) {
    return "the device runs " + RunningText(seen.identity);
  }
  if (seen.answered && seen.identity.BootLoaderOnly()) {
    return "the device waits in its boot loader; `" + recovery + "` brings the application back";
  }
  if (seen.present) return "the device does not answer; restart it, then run `" + recovery + "`";
  if (end.stayedAway) {
    return "the device did not come back within " + SecondsText(end.limitMs) +
           "; reconnect it, then run `" + recovery + "`";
  }
  return "the device did not come back; reconnect it, then run `" + recovery + "`";
}

Json ApplicationJson(const DeviceIdentity* running) {
  if (running == nullptr) return nullptr;
  const DeviceIdentity::Firmware app = running->Application();
  char date[16];
  std::snprintf(date, sizeof date, "%04u-%02u-%02u", 2000u + app.year, unsigned{app.month},
                unsigned{app.day});
  return {{"version", device::FormatVersion(app.major, app.minor)}, {"date", date}};
}

// The line that ends an update that worked, or its JSON object.
void Succeeded(const UpdateOptions& options, const std::string& text, bool flashed,
               const DeviceIdentity& running) {
  if (options.json) {
    PrintJson({{"success", true},
               {"flashed", flashed},
               {"message", text},
               {"application", ApplicationJson(&running)}},
              true);
  } else {
    std::printf("%s\n", text.c_str());
  }
}

// A request of the update as the user knows it.
std::string RequestName(std::uint8_t command) {
  switch (command) {
    case CMD_BEGIN_UPDATE:
      return "the start of the update";
    case CMD_ERASE:
      return "the erase";
    case CMD_GET_ERASE_STATUS:
      return "the erase status request";
    default:
      return CommandName(command);
  }
}

std::string PacketCount(unsigned n, const char* what) {
  return std::to_string(n) + (n == 1 ? " packet " : " packets ") + what;
}

// Why the update failed, taken before anything else is asked of the device.
std::string CauseOf(const ConsoleSink& sink, const CDeviceLink& link) {
  if (sink.DeviceGone()) return sink.LastError() + ": the device went away";
  std::string cause = sink.LastError();
  if (sink.RefusedPackets() > 0) cause += ", " + PacketCount(sink.RefusedPackets(), "refused");
  if (sink.UnansweredPackets() > 0) {
    cause += ", " + PacketCount(sink.UnansweredPackets(), "not answered");
  }
  if (!cause.empty()) return cause;
  // The download ends at once on a failed request, which is then the link's latest.
  const CDeviceLink::LastRequest last = link.Last();
  const std::string what = RequestName(last.command);
  switch (last.outcome) {
    case CDeviceLink::Outcome::kRefused:
      return "the device refused " + what;
    case CDeviceLink::Outcome::kNoAnswer:
      return "the device did not answer " + what;
    case CDeviceLink::Outcome::kAbsent:
      return "the device was not there for " + what;
    case CDeviceLink::Outcome::kFailed:
      return what + " failed";
    case CDeviceLink::Outcome::kCompleted:
      break;
  }
  return "the device did not come back after restarting for the update";
}

// After a failed run: whether the device object went away, rather than a present device
// failing. A run that ended early without a text may have found it gone by a presence probe.
bool WentAway(CDeviceLink& link, const ConsoleSink& sink) {
  if (sink.DeviceGone() || link.Last().outcome == CDeviceLink::Outcome::kAbsent) return true;
  return sink.LastError().empty() && !link.IsPresent();
}

enum class Return { kBack, kStayedAway, kStopped };

// Waits for the device object to come back, saying so: a countdown on a terminal, a plain
// line every ten seconds otherwise.
Return WaitForReturn(CDeviceLink& link, Timing& timing, ConsoleSink& sink, std::uint32_t limitMs,
                     const UpdateGuard& guard) {
  sink.Say("The device went away: waiting up to " + SecondsText(limitMs) +
           " for it to come back ...");
  const std::uint32_t start = timing.TickMs();
  std::uint32_t shown = limitMs / 1000 + 1;
  for (;;) {
    if (link.IsPresent()) {
      sink.Countdown("");
      return Return::kBack;
    }
    if (guard.StopRequested()) {
      sink.Countdown("");
      return Return::kStopped;
    }
    const std::uint32_t waited = timing.TickMs() - start;
    if (waited >= limitMs) {
      sink.Countdown("");
      return Return::kStayedAway;
    }
    const std::uint32_t left = (limitMs - waited + 999) / 1000;
    if (left != shown) {
      if (sink.Terminal()) {
        sink.Countdown("Waiting for the device: " + std::to_string(left) + " s left");
      } else if (left % 10 == 0 && left * 1000 < limitMs) {
        sink.Say("Waiting for the device: " + std::to_string(left) + " s left");
      }
      shown = left;
    }
    timing.SleepMs(kReturnPollMs);
  }
}

void RunUpdate(CliContext& context, const UpdateOptions& options) {
  // Everything that can be known without the device is checked before anything is sent.
  const TarnPacket* carried = nullptr;
  if (options.file.empty()) {
    carried = &CarriedImage(options.boot);
  } else {
    // The worker reads the file again while it programs, which standard input cannot give.
    if (options.file == "-")
      throw Failure(kExitUsage, "update --file needs a named file, not standard input");
    firmware::SRecordFile file;
    LoadFirmwareFile(file, options.file, options.boot);
  }
  context.RequirePresent();
  const device::UpdateLock lock(context.Link().DeviceName());
  if (!lock.Held()) throw Failure(kExitDevice, lock.Refusal());

  if (carried != nullptr && !options.force) {
    DeviceIdentity identity;
    if (device::ReadIdentity(context.Link(), identity) && identity.ApplicationRunning()) {
      const DeviceIdentity::Firmware app = identity.Application();
      if (app.major == carried->Major() && app.minor == carried->Minor()) {
        Succeeded(options,
                  "The device already runs " + RunningText(identity) +
                      ", the carried version; nothing to do (--force updates anyway).",
                  false, identity);
        return;
      }
    }
  }

  SystemTiming timing;
  CDeviceLink& link = context.Link();
  ConsoleSink sink(link, options.json);
  firmware::UpdateRun run{link, timing, sink};
  run.boot = options.boot;
  run.fileName = options.file;
  bool programmed = false;
  int stopSignal = 0;
  std::string cause;
  RunEnd end;
  end.limitMs = ReturnLimitMs();
  {
    UpdateGuard guard;
    // A packet that finds no device ends the sending: the rest would go nowhere.
    run.stopRequested = [&guard, &sink] { return guard.StopRequested() || sink.DeviceGone(); };
    bool retried = false;
    for (;;) {
      programmed = firmware::RunUpdate(run);
      if (programmed || guard.StopRequested()) break;
      cause = CauseOf(sink, link);
      if (retried || !WentAway(link, sink)) break;
      const Return back = WaitForReturn(link, timing, sink, end.limitMs, guard);
      if (back != Return::kBack) {
        end.stayedAway = back == Return::kStayedAway;
        break;
      }
      // Whatever the device kept of the first run, only the whole sequence makes it whole.
      sink.NewAttempt();
      sink.Say("The device is back: the update starts again from its first step.");
      retried = true;
    }
    stopSignal = guard.StopSignal();
  }

  // The device restarts into what was just programmed, or after a failure perhaps into what it
  // had; either way the user learns what it runs before the command ends. A device that stayed
  // away through the wait, or a stop while waiting for it, gets one look only.
  const bool oneLook = end.stayedAway || (stopSignal != 0 && !link.IsPresent());
  end.seen = device::WaitForApplication(
      link, timing, oneLook ? device::RestartLimits{0, 0} : device::RestartLimits{});
  if (!programmed && stopSignal != 0) {
    throw Failure(kExitStopped + stopSignal,
                  "update stopped by an interrupt; " + StateAfter(end, options));
  }
  if (!programmed) {
    throw Failure(kExitDevice, "update failed (" + cause + "); " + StateAfter(end, options));
  }
  if (end.seen.answered && end.seen.identity.ApplicationRunning()) {
    Succeeded(options, "The device runs " + RunningText(end.seen.identity) + ".", true,
              end.seen.identity);
    return;
  }
  // The carried image brings an application back whatever file was programmed.
  UpdateOptions carriedUpdate = options;
  carriedUpdate.file.clear();
  carriedUpdate.boot = false;
  const std::string recovery = RecoveryCommand(carriedUpdate);
  if (end.seen.answered && end.seen.identity.BootLoaderOnly()) {
    throw Failure(kExitDevice,
                  options.boot
                      ? "the device waits in its boot loader after the boot update; `" + recovery +
                            "` brings the application back"
                      : "the device stays in its boot loader: the programmed application failed "
                        "its check; `" +
                            recovery + "` brings the carried application back");
  }
  throw Failure(kExitDevice,
                end.seen.present
                    ? "the device does not run its application after the update; restart it, "
                      "then run `" +
                          recovery + "` if it waits in its boot loader"
                    : "the device did not come back after the update; reconnect it, then run `" +
                          recovery + "` if it waits in its boot loader");
}

}  // namespace

void AddUpdateCommand(CLI::App& app, CliContext& context) {
  auto* command = app.add_subcommand(
      "update", "Update the device's firmware from the carried image or an S-record file");
  auto options = std::make_shared<UpdateOptions>();
  command->add_option("--file", options->file, "S-record file instead of the carried image")
      ->type_name("FILE");
  command->add_flag("--boot", options->boot, "Update the boot region");
  command->add_flag("--force", options->force,
                    "Update even when the device already runs the carried version");
  command->add_flag("--json", options->json,
                    "Print one JSON object per status line and one for the result");
  command->callback([&context, options] {
    try {
      RunUpdate(context, *options);
    } catch (const Failure& failure) {
      // Scripts read the end from standard output too; the line on stderr stays as it is.
      if (options->json) {
        PrintJson({{"success", false},
                   {"flashed", false},
                   {"message", failure.what()},
                   {"application", nullptr}},
                  true);
      }
      throw;
    }
  });
}

}  // namespace cli
