// velmorctl update: a firmware update driven from the terminal, checked before its first
// command and followed until the device runs again.

#include <cstdio>
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

std::string RunningText(const DeviceIdentity& identity) {
  const DeviceIdentity::Firmware app = identity.Application();
  return "application " + device::FormatVersion(app.major, app.minor) + " (" +
         device::FormatDate(app.day, app.month, 2000u + app.year) + ")";
}

// Where an update that did not succeed left the device, and how to get its application back.
std::string StateAfter(const device::RestartOutcome& seen, const UpdateOptions& options) {
  const std::string recovery = RecoveryCommand(options);
  if (seen.answered && seen.identity.ApplicationRunning()) {
    return "the device runs " + RunningText(seen.identity);
  }
  if (seen.answered && seen.identity.BootLoaderOnly()) {
    return "the device waits in its boot loader; `" + recovery + "` brings the application back";
  }
  if (seen.present) return "the device does not answer; restart it, then run `" + recovery + "`";
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

std::string CauseOf(const ConsoleSink& sink) {
  if (sink.RefusedPackets() > 0) {
    return sink.LastError() + ", " + std::to_string(sink.RefusedPackets()) + " packets refused";
  }
  if (!sink.LastError().empty()) return sink.LastError();
  return "the device did not answer while the update prepared the erase";
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
  ConsoleSink sink(options.json);
  firmware::UpdateRun run{context.Link(), timing, sink};
  run.boot = options.boot;
  run.fileName = options.file;
  bool programmed = false;
  int stopSignal = 0;
  {
    UpdateGuard guard;
    run.stopRequested = [&guard] { return guard.StopRequested(); };
    programmed = firmware::RunUpdate(run);
    stopSignal = guard.StopSignal();
  }

  // The device restarts into what was just programmed, or after a failure perhaps into what it
  // had; either way the user learns what it runs before the command ends.
  const device::RestartOutcome seen =
      device::WaitForApplication(context.Link(), timing, device::RestartLimits{});
  if (!programmed && stopSignal != 0) {
    throw Failure(kExitStopped + stopSignal,
                  "update stopped by an interrupt; " + StateAfter(seen, options));
  }
  if (!programmed) {
    throw Failure(kExitDevice,
                  "update failed (" + CauseOf(sink) + "); " + StateAfter(seen, options));
  }
  if (seen.answered && seen.identity.ApplicationRunning()) {
    Succeeded(options, "The device runs " + RunningText(seen.identity) + ".", true, seen.identity);
    return;
  }
  if (seen.answered && seen.identity.BootLoaderOnly()) {
    throw Failure(
        kExitDevice,
        "the device stays in its boot loader: the programmed application failed its check");
  }
  throw Failure(kExitDevice, seen.present
                                 ? "the device does not run its application after the update"
                                 : "the device did not come back after the update");
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
