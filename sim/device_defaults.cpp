#include "sim/device_defaults.h"

namespace sim {

namespace {

struct DeviceCurve {
  const char* name;
  std::uint16_t t1, t2, t3, t4;  // microseconds, 0 = disabled
};

constexpr DeviceCurve kDeviceCurves[] = {
    {"RIAA", 3180, 318, 75, 0},        {"RIAA + rumble", 3180, 318, 75, 7950},
    {"Early LP A", 1590, 318, 100, 0}, {"Early LP B", 1590, 318, 50, 0},
    {"Shellac 78 A", 0, 318, 50, 0},   {"Shellac 78 B", 0, 450, 100, 0},
    {"Shellac 78 C", 0, 636, 100, 0},  {"Flat", 0, 0, 0, 0},
};

}  // namespace

SettingsImage DeviceDefaults(const SystemData& system) {
  SettingsImage image;
  image.SetSystemData(system);
  image.SetPhonoGain(30);
  image.SetOutputRate(1);
  image.SetMotorVoltage(155);
  image.SetModeFlags(0);
  image.SetPresetIndex(1);
  image.SetRampSpeed(3);
  for (const DeviceCurve& c : kDeviceCurves) image.AddCurve(c.t1, c.t2, c.t3, c.t4, c.name, 0);
  return image;
}

SystemData FactorySystemData() {
  SystemData system = SystemData::Fresh(2006, 1, 10);
  system.systemTag = 1;
  system.serialNumber = 12345;
  return system;
}

}  // namespace sim
