// The panel's side of the device connection: connecting, which controls are shown and enabled
// in each device state and mode, the version and hardware status lines, the timers and
// device-change notices.

#include <QCheckBox>
#include <QFileInfo>
#include <QLabel>
#include <QProgressBar>
#include <cstdio>

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#endif

#include "device/device_operations.h"
#include "device/device_path.h"
#include "device/version_text.h"
#include "panel/property_velmor.h"

namespace {

// Everything the settings area consists of; hidden while only the boot loader runs.
constexpr int kSettingsArea[] = {
    IDC_GAIN,
    IDC_T1,
    IDC_T2,
    IDC_T3,
    IDC_T4,
    IDC_ABS33,
    IDC_ABS45,
    IDC_ABS78,
    IDC_REL33,
    IDC_REL45,
    IDC_REL78,
    IDC_SPEED33,
    IDC_SPEED45,
    IDC_SPEED78,
    IDC_AUTOSCALE,
    IDC_LOCK33,
    IDC_LOCK45,
    IDC_LOCK78,
    IDC_GAIN_LABEL,
    IDC_PLOT,
    IDC_OUTPUT_RATE,
    IDC_MOTOR_VOLTAGE,
    IDC_POLARITY,
    IDC_EQ_TYPE,
    IDC_RAMP_SPEED,
    IDC_T1_LABEL,
    IDC_T2_LABEL,
    IDC_T3_LABEL,
    IDC_T4_LABEL,
    IDC_POLARITY_CAPTION,
    IDC_VOLTAGE_CAPTION,
    IDC_RATE_CAPTION,
    IDC_RAMP_CAPTION,
    IDC_EQ_CAPTION,
    IDC_T1_HEADING,
    IDC_T2_HEADING,
    IDC_T3_HEADING,
    IDC_T4_HEADING,
    IDC_T1_LINE,
    IDC_T2_LINE,
    IDC_T3_LINE,
    IDC_T4_LINE,
    IDC_SETTINGS_FRAME,
};

struct StatusLine {
  int id;
  std::uint8_t flag;
};
constexpr StatusLine kStatusLines[] = {
    {IDC_DSP_STATUS, FLAG_DSP},
    {IDC_FPGA_STATUS, FLAG_FPGA},
    {IDC_TRANSMITTER_STATUS, FLAG_TRANSMITTER},
    {IDC_EEPROM_STATUS, FLAG_EEPROM},
};

QString FirmwareLine(const DeviceIdentity::Firmware& f) {
  return QString::fromStdString(device::FormatVersion(f.major, f.minor) + ", " +
                                device::FormatDate(f.day, f.month, f.year + 2000u));
}

}  // namespace

bool CPropertyVELMOR::Connect() {
  m_link.SetDeviceName(device::DevicePath().c_str());
  if (device::ReadIdentity(m_link, m_identity)) {
    UpdateControlStates(true);
    return true;
  }
  UpdateControlStates(false);
  m_image.SetPanelDefaults();
  // The list still names the device's curves; it must name the ones now shown.
  ListCurveNames();
  SelectCurve(static_cast<int>(m_image.PresetIndex()));
  return false;
}

void CPropertyVELMOR::UpdateControlStates(bool enabled) {
  const bool app = m_identity.ApplicationRunning();
  const bool loaderOnly = m_link.IsPresent() && m_identity.BootLoaderOnly();
  const bool idle = m_pUpdateThread == nullptr;
  const bool settingsShown = !loaderOnly;
  const bool buttonsOn = app && idle && enabled;

  Control(IDC_PROGRESS)->setVisible(!idle);
  Control(IDC_SOFTWARE_UPDATE)->setEnabled(idle && m_link.IsPresent() && enabled);
  for (int id : {IDC_DEFAULT_SETTINGS, IDC_READ_SETTINGS, IDC_WRITE_SETTINGS}) {
    Control(id)->setEnabled(buttonsOn);
  }
  for (const SpeedControls& s : kSpeeds) {
    Control(s.absolute)->setEnabled(ControlAs<QCheckBox>(s.lock)->checkState() != Qt::Unchecked);
  }

  const bool systemBase = m_link.IsPresent() && enabled && m_identity.DeviceMode() == 2 && app;
  const bool serviceOn = systemBase && m_bService != 0;
  const bool advancedOn = systemBase && (m_bAdvanced != 0 || m_bService != 0);
  for (int id : {IDC_SERIAL, IDC_DELIVERY, IDC_MOTOR_UNIT}) Control(id)->setEnabled(serviceOn);
  Control(IDC_HARDWARE_TEST)->setVisible(serviceOn);
  Control(IDC_AUTOMUTE)->setEnabled(advancedOn);
  for (int id : kSettingsArea) Control(id)->setVisible(settingsShown);

  ReadSettings();
  ShowVersions();
  KeepFocusOnAUsableControl();
}

bool CPropertyVELMOR::TakesFocus(const QWidget* control) const {
  return control != nullptr && control != this && isAncestorOf(control) &&
         control->isVisibleTo(this) && control->isEnabled();
}

void CPropertyVELMOR::KeepFocusOnAUsableControl() {
  // Qt passes the focus on from a control it hides or disables only while the window is
  // active, and keeps it where it is when no other control can take it: a hidden list would
  // still take the keys and send what they choose.
  QWidget* focus = focusWidget();
  if (focus == nullptr || focus == this || TakesFocus(focus)) return;
  QWidget* update = Control(IDC_SOFTWARE_UPDATE);
  if (TakesFocus(update)) {
    update->setFocus(Qt::OtherFocusReason);
  } else {
    setFocus(Qt::OtherFocusReason);
  }
}

void CPropertyVELMOR::ShowVersions() {
  m_appVersion.clear();
  m_bootVersion.clear();
  ShowHardwareStatus();
  if (!m_link.IsPresent()) {
    m_bootVersion = QStringLiteral("*** VELMOR not connected! ***");
    SayWhyAbsent();
    return;
  }
  m_absenceSaid.clear();
  if (m_identity.ApplicationRunning()) {
    const DeviceIdentity::Firmware running = m_identity.Application();
    QString suffix;
    if (const auto embedded = m_services.embeddedVersion();
        embedded && (embedded->major != running.major || embedded->minor != running.minor)) {
      suffix = QString::fromStdString(
          " (***" + device::FormatVersion(embedded->major, embedded->minor) + ", " +
          device::FormatDate(embedded->day, embedded->month, embedded->year) + "***)");
    }
    m_appVersion = QStringLiteral("App.:") + FirmwareLine(running) + suffix;
  }
  if (m_identity.Boot().marker == kBootMarker) {
    m_bootVersion = QStringLiteral("Boot: ") + FirmwareLine(m_identity.Boot());
  }
}

// A device folder of someone else's or a socket we may not open looks like no device in the
// window; stderr says which, once for each new reason.
void CPropertyVELMOR::SayWhyAbsent() {
  const std::string why = device::WhyDeviceAbsent(m_link.DeviceName());
  if (why.empty() || why == m_absenceSaid) return;
  m_absenceSaid = why;
  std::fprintf(stderr, "velmor-panel: %s\n", why.c_str());
}

void CPropertyVELMOR::ShowHardwareStatus() {
  const bool running = m_link.IsPresent() && m_identity.ApplicationRunning();
  const std::uint8_t flags = m_identity.HardwareFlags();
  for (const StatusLine& line : kStatusLines) {
    Control(line.id)->setVisible(running && (flags & line.flag) == 0);
  }
}

void CPropertyVELMOR::OnTimer(int id) {
  if (id == VOLTAGE_TIMER) {
    // A pending voltage waits for the device, however long it is away.
    if (!m_link.IsPresent()) return;
    m_voltageTimer.stop();
    m_link.SetMotorVoltage(static_cast<std::uint16_t>(ParseVoltage()));
    return;
  }
  if (id == STATUS_TIMER) {
    if (!m_link.IsPresent()) return;
    const std::uint16_t status = device::ReadSpeedStatus(m_link);
    if ((status & SPEED_STATUS_CHANGED) == 0) return;
    m_speedChecked[0] = (status & SPEED_STATUS_33) != 0;
    m_speedChecked[1] = (status & SPEED_STATUS_45) != 0;
    m_speedChecked[2] = (status & SPEED_STATUS_78) != 0;
    ReadSettings();
  }
}

void CPropertyVELMOR::OnDeviceChange() {
  // The device object appears a moment before the device answers on it.
  constexpr int kSettleMs = 250;
  if (Connect()) return;
#ifdef _WIN32
  const bool objectThere = m_link.IsPresent();
#else
  const bool objectThere = QFileInfo::exists(QString::fromStdString(device::DevicePath()));
#endif
  if (objectThere) m_reconnectTimer.start(kSettleMs);
}

#ifdef _WIN32
bool CPropertyVELMOR::nativeEvent(const QByteArray& eventType, void* message, qintptr* result) {
  if (static_cast<const MSG*>(message)->message == WM_DEVICECHANGE) {
    WhenIdle(kHeldDeviceChange, [this] { OnDeviceChange(); });
  }
  return QDialog::nativeEvent(eventType, message, result);
}
#endif

void CPropertyVELMOR::OnHardwareTest() {
  m_services.runHardwareTest(*this);
}
