#include "sim/status_text.h"

#include <cstdio>

#include "device/version_text.h"
#include "sim/sim_device.h"
#include "sim/socket_server.h"

namespace sim {

namespace {

std::string Tenths(int v, const char* unit, bool sign = false) {
  const int magnitude = v < 0 ? -v : v;
  const char* prefix = v < 0 ? "-" : (sign ? "+" : "");
  char text[32];
  std::snprintf(text, sizeof text, "%s%d.%d %s", prefix, magnitude / 10, magnitude % 10, unit);
  return text;
}

const char* RateText(unsigned code) {
  switch (code) {
    case 1:
      return "48 kHz";
    case 2:
      return "96 kHz";
    case 3:
      return "192 kHz";
    default:
      return "unknown rate";
  }
}

std::string Line(const char* format, auto... args) {
  char text[256];
  std::snprintf(text, sizeof text, format, args...);
  return text;
}

std::string FaultsText(const SimFaults& f, const SimSocketServer* server) {
  std::string text;
  auto add = [&text](const std::string& item) { text += (text.empty() ? "" : ", ") + item; };
  if (f.failNext > 0) add("next " + std::to_string(f.failNext) + " requests fail");
  for (std::uint8_t code : f.failCommands) add(std::string(CommandName(code)) + " fails");
  if (f.eraseNeverEnds) add("erase never ends");
  if (f.busyNeverEnds) add("busy never ends");
  if (f.deviceMode) add("mode byte " + std::to_string(*f.deviceMode));
  if (f.hardwareFlags) add(Line("hardware flags 0x%02X", *f.hardwareFlags));
  if (f.imageLength) add("image length " + std::to_string(*f.imageLength));
  if (f.bootLoaderOnly) add("identity boot-loader-only");
  if (server != nullptr) {
    const WireFaults w = server->Faults();
    if (w.delayMs > 0) add("responses " + std::to_string(w.delayMs) + " ms late");
    if (w.dropNext > 0) add("next " + std::to_string(w.dropNext) + " responses dropped");
    if (w.shortNext > 0) add("next " + std::to_string(w.shortNext) + " responses short");
  }
  return text.empty() ? "none" : text;
}

std::string ProgramText(const SimDevice& device) {
  const DeviceIdentity id = device.Identity();
  if (!device.InBootLoader()) {
    const auto a = id.Application();
    return "application " + device::FormatVersion(a.major, a.minor) + " of " +
           device::FormatDate(a.day, a.month, a.year + 2000u);
  }
  const char* region =
      device.UpdateRegion() == FlashModel::Region::kApplication ? "application" : "boot";
  const char* erase = "not erased";
  switch (device.EraseState()) {
    case SimFirmware::EraseState::kErasing:
      erase = "erasing";
      break;
    case SimFirmware::EraseState::kErased:
      erase = "erased";
      break;
    case SimFirmware::EraseState::kNone:
      break;
  }
  return std::string("boot loader only (update of the ") + region + " region, " + erase + ")";
}

}  // namespace

std::string StatusText(const SimDevice& device, const SimSocketServer* server) {
  const DeviceIdentity id = device.Identity();
  const LiveState live = device.Live();
  const SettingsImage stored = device.StoredImage();
  const std::uint16_t speed = device.SpeedStatus();
  const char* presence = device.Unplugged()    ? "unplugged"
                         : device.Restarting() ? "restarting (absent)"
                                               : "plugged";
  std::string text;
  text += "device:    " + std::string(presence);
  if (server != nullptr) text += " at " + server->Path();
  text += "\nprogram:   " + ProgramText(device);
  text +=
      Line("\nidentity:  mode %u, image length %u, hardware flags 0x%02X, markers 0x%02X 0x%02X",
           id.DeviceMode(), id.ImageLength(), id.HardwareFlags(), id.Boot().marker,
           id.Application().marker);
  text += std::string("\nbusy:      ") + (device.Busy() ? "yes" : "no");
  text += Line("\nspeed:     status word 0x%04X (change flag %s)", speed,
               (speed & SPEED_STATUS_CHANGED) != 0 ? "raised" : "clear");
  text += "\nrunning:   gain " + Tenths(live.gain, "dB", true) + ", polarity " +
          (live.polarity != 0 ? "inverted" : "normal") + ", " + RateText(live.outputRate) +
          Line(", eq mode %u t %u/%u/%u/%u us", live.equalization.curveMode, live.equalization.t[0],
               live.equalization.t[1], live.equalization.t[2], live.equalization.t[3]) +
          Line(", speed %u (%d/%d)", live.speed, live.absoluteCorrection, live.relativeCorrection) +
          ", motor " + Tenths(live.motorVoltage, "V") + Line(", ramp %u", live.rampSpeed);
  const EqCurve curve = stored.Curve(stored.PresetIndex());
  text += "\nstored:    gain " + Tenths(stored.PhonoGain(), "dB", true) + ", " +
          RateText(stored.OutputRate()) + ", motor " + Tenths(stored.MotorVoltage(), "V") +
          Line(", ramp %u, curve %u \"%s\", serial %u, delivered ", stored.RampSpeed(),
               stored.PresetIndex(), curve.Name().c_str(), stored.SerialNumber()) +
          device::FormatDate(stored.DeliveryDay(), stored.DeliveryMonth(),
                             stored.DeliveryYear() + 2000u);
  text += "\nfaults:    " + FaultsText(device.Faults(), server);
  text += "\nstorage:   " + device.StorageText();
  text += "\nrequests:  " + std::to_string(device.RequestCount()) + "\n";
  return text;
}

}  // namespace sim
