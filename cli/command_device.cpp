// velmorctl identity, settings show|save|load, defaults.

#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/json_output.h"
#include "cli/settings_io.h"
#include "device/device_operations.h"
#include "device/version_text.h"
#include "settings/latin1_text.h"
#include "settings/settings_document.h"
#include "settings/settings_fields.h"
#include "settings/settings_transfer.h"

namespace cli {

namespace {

struct DeviceState {
  bool present = false;
  std::string absence;  // why the device object did not open; empty when it did
  DeviceIdentity identity;
};

DeviceState Identify(CliContext& context) {
  DeviceState state;
  state.present = context.Link().IsPresent();
  if (!state.present) state.absence = context.AbsenceText();
  if (state.present && !device::ReadIdentity(context.Link(), state.identity)) {
    throw Failure(kExitDevice, "the device did not answer the identity request");
  }
  return state;
}

Json FirmwareJson(const DeviceIdentity::Firmware& f) {
  char date[16];
  std::snprintf(date, sizeof date, "%04u-%02u-%02u", 2000u + f.year, unsigned{f.month},
                unsigned{f.day});
  return Json{{"version", device::FormatVersion(f.major, f.minor)}, {"date", date}};
}

// The four status lines the panel shows for a running application whose flag is clear.
std::vector<std::string> StatusLines(const DeviceState& state) {
  std::vector<std::string> lines;
  if (!state.present || !state.identity.ApplicationRunning()) return lines;
  const std::uint8_t flags = state.identity.HardwareFlags();
  if (!(flags & FLAG_DSP)) lines.emplace_back("DSP not found!");
  if (!(flags & FLAG_FPGA)) lines.emplace_back("FPGA not loaded!");
  if (!(flags & FLAG_TRANSMITTER)) lines.emplace_back("Transmitter not found!");
  if (!(flags & FLAG_EEPROM)) lines.emplace_back("EEPROM not found!");
  return lines;
}

void ShowIdentity(CliContext& context, bool json) {
  const DeviceState state = Identify(context);
  const DeviceIdentity& id = state.identity;
  const bool boot = state.present && id.Boot().marker == kBootMarker;
  const bool application = state.present && id.ApplicationRunning();
  if (json) {
    Json out{{"present", state.present}};
    out["absence"] = state.present ? Json(nullptr) : Json(state.absence);
    out["mode"] = state.present ? Json(id.DeviceMode()) : Json(nullptr);
    out["image_length"] = state.present ? Json(id.ImageLength()) : Json(nullptr);
    out["hardware_flags"] = state.present ? Json(id.HardwareFlags()) : Json(nullptr);
    out["status_lines"] = StatusLines(state);
    out["boot"] = boot ? FirmwareJson(id.Boot()) : Json(nullptr);
    out["application"] = application ? FirmwareJson(id.Application()) : Json(nullptr);
    PrintJson(out);
  } else if (state.present) {
    std::printf("present:        yes (%s)\n", context.Link().DeviceName().c_str());
    std::printf("mode:           %u\n", id.DeviceMode());
    std::printf("image length:   %u bytes\n", id.ImageLength());
    std::printf("hardware flags: 0x%02X\n", id.HardwareFlags());
    for (const std::string& line : StatusLines(state)) std::printf("  %s\n", line.c_str());
    if (application) {
      const auto a = id.Application();
      std::printf("application:    %s, %s\n", device::FormatVersion(a.major, a.minor).c_str(),
                  device::FormatDate(a.day, a.month, 2000u + a.year).c_str());
    } else {
      std::printf("application:    not running\n");
    }
    if (id.BootLoaderOnly()) {
      std::printf(
          "The device waits in its boot loader: `velmorctl update` brings the "
          "application back.\n");
    }
    if (boot) {
      const auto b = id.Boot();
      std::printf("boot loader:    %s, %s\n", device::FormatVersion(b.major, b.minor).c_str(),
                  device::FormatDate(b.day, b.month, 2000u + b.year).c_str());
    }
  } else {
    std::printf("present:        no (%s)\n", context.Link().DeviceName().c_str());
  }
  if (!state.present) throw Failure(kExitDevice, state.absence);
}

std::uint16_t ReadImage(CliContext& context, SettingsImage& image) {
  return ReadDeviceImage(context, image);
}

// The name the panel lists for a coded value, "unknown" without one.
std::string Named(const settings::Field& field, long long value) {
  return std::string(field.ValueName(value));
}

void PrintImage(const SettingsImage& image, std::uint16_t length) {
  using Speed = SettingsImage::Speed;
  std::printf("image length:        %u bytes\n", length);
  std::printf("serial number:       %05u\n", image.SerialNumber());
  std::printf(
      "delivery:            %s\n",
      device::FormatDate(image.DeliveryDay(), image.DeliveryMonth(), 2000u + image.DeliveryYear())
          .c_str());
  std::printf("motor control unit:  %s\n",
              Named(settings::kMotorUnitField, image.MotorUnitInstalled()).c_str());
  std::printf("AutoMute:            %s\n",
              Named(settings::kAutoMuteField, image.AutoMute()).c_str());
  std::printf("phono gain:          %.1f dB\n", image.PhonoGain() * 0.1);
  std::printf("polarity:            %s\n",
              Named(settings::kPolarityField, image.PolarityInverted()).c_str());
  std::printf("output rate:         %s (%u)\n",
              Named(settings::kOutputRateField, image.OutputRate()).c_str(), image.OutputRate());
  std::printf("motor voltage:       %.1f Volt\n", image.MotorVoltage() * 0.1);
  std::printf("ramp up speed:       %s (%u)\n",
              Named(settings::kRampSpeedField, image.RampSpeed()).c_str(), image.RampSpeed());
  const char* speeds[] = {"33", "45", "78"};
  for (int s = 0; s < 3; ++s) {
    const auto speed = static_cast<Speed>(s);
    std::printf("speed %s:            abs %.1f%% rel %.1f%%\n", speeds[s],
                image.AbsoluteCorrection(speed) * 0.1, image.RelativeCorrection(speed) * 0.1);
  }
  std::printf("equalization:        slot %u\n", image.PresetIndex());
  for (std::size_t i = 0; i < SettingsImage::kCurveCount; ++i) {
    const EqCurve c = image.Curve(i);
    // Padded by characters, not by the bytes of their UTF-8 form.
    const std::string name = c.Name();
    const std::string padded =
        settings::Latin1ToUtf8(name) + std::string(name.size() < 15 ? 15 - name.size() : 0, ' ');
    std::printf("  %c %zu %s t1 %5u  t2 %5u  t3 %5u  t4 %5u%s\n",
                i == image.PresetIndex() ? '*' : ' ', i, padded.c_str(), c.T(0), c.T(1), c.T(2),
                c.T(3), c.InUse() ? "" : "  (not in use)");
  }
}

void ShowSettings(CliContext& context, bool json) {
  SettingsImage image;
  const std::uint16_t length = ReadImage(context, image);
  if (json) {
    PrintJson(settings::ExportDocument(image, MovedBytes(length)));
  } else {
    PrintImage(image, length);
  }
}

void SaveSettings(CliContext& context, const std::string& path, bool json) {
  SettingsImage image;
  const std::size_t length = MovedBytes(ReadImage(context, image));
  WriteOutput(path, std::string(image.Bytes().begin(), image.Bytes().begin() + length));
  if (path == "-") return;  // the image itself is the output
  if (json) {
    PrintJson({{"file", path}, {"bytes", length}});
  } else {
    std::printf("saved %zu bytes to %s\n", length, path.c_str());
  }
}

void LoadSettings(CliContext& context, const std::string& path, bool force, bool json) {
  const std::string bytes = ReadInput(path, SettingsImage::kSize, "a settings image");
  const std::uint16_t length = DeviceImageLength(context);
  if (length == 0) throw Failure(kExitDevice, "the device declares no settings image");
  if (bytes.size() != MovedBytes(length)) {
    throw Failure(kExitUsage, path + " holds " + std::to_string(bytes.size()) +
                                  " bytes; the device's settings image has " +
                                  std::to_string(MovedBytes(length)));
  }
  SettingsImage image;
  std::copy(bytes.begin(), bytes.end(), image.Bytes().begin());
  const auto problems = settings::RangeProblems(image);
  if (!problems.empty() && !force) {
    std::string message = path + " refused, nothing sent:";
    for (const auto& p : problems) message += "\n  " + settings::ProblemText(p);
    throw Failure(kExitUsage, message + "\n  (--force writes it all the same)");
  }
  WriteDeviceImage(context, image, length);
  if (json) {
    PrintJson({{"file", path}, {"bytes", bytes.size()}, {"forced", !problems.empty()}});
  } else {
    std::printf("loaded %zu bytes from %s\n", bytes.size(), path.c_str());
  }
}

void RestoreDefaults(CliContext& context, bool initSystemData, bool json) {
  SettingsImage image;
  const std::uint16_t length = ReadImage(context, image);  // the system data the device holds
  if (length == 0) throw Failure(kExitDevice, "the device declares no settings image");
  // No question here: the command line has said whether the system data is to be fresh.
  const settings::LocalDate today = settings::TodayLocal();
  const SystemData system = initSystemData ? SystemData::Fresh(today.year, today.month, today.day)
                                           : image.GetSystemData();
  SystemTiming timing;
  settings::SettingsTransfer transfer(context.Link(), timing, image);
  const bool restored = transfer.RestoreDefaults(system);
  // Read back as the panel does, and play the selected curve of the defaults, so the device
  // runs what it now holds.
  transfer.ReadImage(length);
  const EqCurve curve = image.Curve(image.PresetIndex());
  context.Link().SetEqualization(curve.CurveMode(), curve.T(0), curve.T(1), curve.T(2), curve.T(3),
                                 false);
  if (!restored) throw Failure(kExitDevice, "the device did not take the restore command");
  if (json) {
    PrintJson({{"restored", true}, {"fresh_system_data", initSystemData}});
  } else {
    std::printf("defaults restored%s\n", initSystemData ? " with fresh system data" : "");
  }
}

}  // namespace

void AddDeviceCommands(CLI::App& app, CliContext& context) {
  // Option values live as long as the callbacks that read them.
  struct Options {
    bool identityJson = false;
    bool showJson = false;
    std::string savePath;
    std::string loadPath;
    bool loadForce = false;
    bool initSystemData = false;
    bool json = false;  // save, load, defaults
  };
  auto options = std::make_shared<Options>();

  auto* identity =
      app.add_subcommand("identity", "Whether the device is present, its versions and status");
  identity->add_flag("--json", options->identityJson, "Print JSON");
  identity->callback([&context, options] { ShowIdentity(context, options->identityJson); });

  auto* settingsCommand = app.add_subcommand("settings", "Read or write the device's settings");
  settingsCommand->require_subcommand(1);
  auto* show = settingsCommand->add_subcommand("show", "Every field of the settings, decoded");
  show->add_flag("--json", options->showJson, "Print JSON");
  show->callback([&context, options] { ShowSettings(context, options->showJson); });

  auto* save = settingsCommand->add_subcommand("save", "Save the raw settings image to a file");
  save->add_option("FILE", options->savePath, "File to write ('-': standard output)")
      ->required()
      ->type_name("FILE");
  save->add_flag("--json", options->json, "Print JSON");
  save->callback([&context, options] { SaveSettings(context, options->savePath, options->json); });

  auto* load =
      settingsCommand->add_subcommand("load", "Write a raw settings image file to the device");
  load->add_option("FILE", options->loadPath, "File to read ('-': standard input)")
      ->required()
      ->type_name("FILE");
  load->add_flag("--force", options->loadForce, "Write fields out of range all the same");
  load->add_flag("--json", options->json, "Print JSON");
  load->callback([&context, options] {
    LoadSettings(context, options->loadPath, options->loadForce, options->json);
  });

  auto* defaults = app.add_subcommand("defaults", "Restore the device's default settings");
  defaults->add_flag("--init-system-data", options->initSystemData,
                     "Initialise the system data too (serial 100, today's delivery date)");
  defaults->add_flag("--json", options->json, "Print JSON");
  defaults->callback(
      [&context, options] { RestoreDefaults(context, options->initSystemData, options->json); });
}

}  // namespace cli
