// The panel's motor and speed controls: motor voltage with its delayed send, ramp-up speed,
// the three speed boxes, the lock boxes and the speed-correction sliders.

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QScrollBar>

#include "device/device_operations.h"
#include "panel/field_text.h"
#include "panel/property_velmor.h"

namespace {

constexpr int kTypedVoltageDelayMs = 1000;
// A window timer of 0 ms fires after its shortest period, about 10 ms; a 0 ms QTimer would spin.
constexpr int kChosenVoltageDelayMs = 10;

}  // namespace

unsigned CPropertyVELMOR::ParseVoltage() const {
  return panel::ParseVoltageText(ControlAs<QComboBox>(IDC_MOTOR_VOLTAGE)->currentText());
}

void CPropertyVELMOR::ShowVoltage(unsigned voltage) {
  const QString text = panel::VoltageText(voltage);
  auto* combo = ControlAs<QComboBox>(IDC_MOTOR_VOLTAGE);
  for (int i = 0; i < combo->count(); ++i) {
    if (combo->itemText(i).startsWith(text, Qt::CaseInsensitive)) {
      combo->setCurrentIndex(i);
      // Selecting the entry that is already current leaves a typed text in the field.
      combo->setEditText(combo->itemText(i));
      return;
    }
  }
  combo->setEditText(text);
}

void CPropertyVELMOR::OnVoltageEdited() {
  m_voltageTimer.start(kTypedVoltageDelayMs);
}

void CPropertyVELMOR::OnVoltageChosen() {
  m_voltageTimer.start(kChosenVoltageDelayMs);
}

void CPropertyVELMOR::OnRampChosen(int index) {
  m_link.SetRampSpeed(static_cast<std::uint16_t>(index));
}

void CPropertyVELMOR::OnSpeedClicked(int which) {
  UpdateData(true);
  for (int other = 0; other < 3; ++other) {
    if (other != which) m_speedChecked[other] = false;
  }
  UpdateData(false);
  const SpeedControls& s = kSpeeds[which];
  m_link.SetSpeed(m_speedChecked[which] ? s.speed : 0,
                  static_cast<std::int16_t>(Position(s.absolute)),
                  static_cast<std::int16_t>(Position(s.relative)));
}

void CPropertyVELMOR::OnLockClicked(int which) {
  const SpeedControls& s = kSpeeds[which];
  const bool unlocked = ControlAs<QCheckBox>(s.lock)->checkState() != Qt::Unchecked;
  Control(s.absolute)->setEnabled(unlocked);
}

void CPropertyVELMOR::OnCorrectionScroll(int which) {
  const SpeedControls& s = kSpeeds[which];
  if (m_speedChecked[which]) {
    m_link.SetSpeed(s.speed, static_cast<std::int16_t>(Position(s.absolute)),
                    static_cast<std::int16_t>(Position(s.relative)));
  }
  RefreshSpeedLabels();
}

void CPropertyVELMOR::RefreshSpeedLabels() {
  for (const SpeedControls& s : kSpeeds) {
    const int absolute = Position(s.absolute);
    const int relative = Position(s.relative);
    m_image.SetAbsoluteCorrection(s.field, static_cast<std::int16_t>(absolute));
    m_image.SetRelativeCorrection(s.field, static_cast<std::int16_t>(relative));
    ControlAs<QCheckBox>(s.check)->setText(panel::SpeedCaption(s.speed, absolute, relative));
  }
}

void CPropertyVELMOR::FillSpeedControls() {
  // Every slider takes its value, locked or not, so a write never turns a locked absolute
  // correction into 0.
  for (const SpeedControls& s : kSpeeds) {
    SetPosition(s.absolute, m_image.AbsoluteCorrection(s.field));
    SetPosition(s.relative, m_image.RelativeCorrection(s.field));
  }
  RefreshSpeedLabels();
  const std::uint16_t status = device::ReadSpeedStatus(m_link);
  m_speedChecked[0] = (status & SPEED_STATUS_33) != 0;
  m_speedChecked[1] = (status & SPEED_STATUS_45) != 0;
  m_speedChecked[2] = (status & SPEED_STATUS_78) != 0;
}
