// The panel's settings: bound fields, filling the controls from the image and gathering them
// back, gain, polarity, output rate, serial number, delivery date and the three settings buttons.

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>

#include "panel/field_text.h"
#include "panel/property_velmor.h"
#include "panel/wait_cursor.h"

namespace {

constexpr int kCurveLabels[] = {IDC_T1_LABEL, IDC_T2_LABEL, IDC_T3_LABEL, IDC_T4_LABEL};

}  // namespace

void CPropertyVELMOR::UpdateData(bool saveAndValidate) {
  auto* serial = ControlAs<QLineEdit>(IDC_SERIAL);
  auto* app = ControlAs<QLabel>(IDC_APP_VERSION);
  auto* boot = ControlAs<QLabel>(IDC_BOOT_VERSION);
  auto* motorUnit = ControlAs<QComboBox>(IDC_MOTOR_UNIT);
  if (saveAndValidate) {
    m_serialText = serial->text();
    m_appVersion = app->text();
    m_bootVersion = boot->text();
    for (int i = 0; i < 4; ++i) m_curveLabels[i] = ControlAs<QLabel>(kCurveLabels[i])->text();
    m_motorUnitIndex = motorUnit->currentIndex();
    for (int i = 0; i < 3; ++i) {
      m_speedChecked[i] = ControlAs<QCheckBox>(kSpeeds[i].check)->isChecked();
    }
    return;
  }
  if (serial->text() != m_serialText) serial->setText(m_serialText);
  app->setText(m_appVersion);
  boot->setText(m_bootVersion);
  for (int i = 0; i < 4; ++i) ControlAs<QLabel>(kCurveLabels[i])->setText(m_curveLabels[i]);
  motorUnit->setCurrentIndex(m_motorUnitIndex);
  for (int i = 0; i < 3; ++i) {
    ControlAs<QCheckBox>(kSpeeds[i].check)->setChecked(m_speedChecked[i]);
  }
}

void CPropertyVELMOR::ShowGain() {
  ControlAs<QLabel>(IDC_GAIN_LABEL)->setText(panel::GainText(m_image.PhonoGain()));
  m_link.SetGain(m_image.PhonoGain());
}

void CPropertyVELMOR::ShowDeliveryDate() {
  auto* picker = ControlAs<QDateEdit>(IDC_DELIVERY);
  if (!picker) return;
  const int month = std::clamp<int>(m_image.DeliveryMonth(), 1, 12);
  const int day = std::clamp<int>(m_image.DeliveryDay(), 1, 31);
  // A day beyond the month's end runs into the next month, as the calendar normalises it.
  const QDate date = QDate(2000 + m_image.DeliveryYear(), month, 1).addDays(day - 1);
  picker->setDisplayFormat(QStringLiteral("dddd, d. MMMM yyyy"));
  picker->setDate(date);
  m_shownDeliveryDate = picker->date();
}

void CPropertyVELMOR::FillControls() {
  m_serialText = panel::SerialText(m_image.SerialNumber());
  m_motorUnitIndex = m_image.MotorUnitInstalled() ? 1 : 0;
  ShowDeliveryDate();
  ShowVersions();
  ShowGain();
  ControlAs<QComboBox>(IDC_AUTOMUTE)->setCurrentIndex(m_image.AutoMute() ? 1 : 0);
  SetPosition(IDC_GAIN, m_image.PhonoGain());
  ControlAs<QComboBox>(IDC_POLARITY)->setCurrentIndex(m_image.PolarityInverted() ? 1 : 0);
  auto* ramp = ControlAs<QComboBox>(IDC_RAMP_SPEED);
  const int rampIndex = static_cast<int>(m_image.RampSpeed());
  ramp->setCurrentIndex(rampIndex < ramp->count() ? rampIndex : -1);
  auto* rate = ControlAs<QComboBox>(IDC_OUTPUT_RATE);
  rate->setCurrentIndex(1);
  if (const int found = rate->findData(int{m_image.OutputRate()}); found >= 0) {
    rate->setCurrentIndex(found);
  }
  ShowVoltage(m_image.MotorVoltage());

  ListCurveNames();
  SelectCurve(static_cast<int>(m_image.PresetIndex()));

  FillSpeedControls();
  UpdateData(false);
}

void CPropertyVELMOR::GatherControls() {
  UpdateData(true);
  m_image.SetSerialNumber(panel::ParseSerialNumber(m_serialText));
  m_image.SetPhonoGain(static_cast<std::int8_t>(Position(IDC_GAIN)));
  // Delivery bytes the picker cannot show (month 0, day 31 of February) go back as read
  // unless the user picked another date.
  const QDate picked = ControlAs<QDateEdit>(IDC_DELIVERY)->date();
  if (picked != m_shownDeliveryDate) {
    m_image.SetDeliveryDay(static_cast<std::uint8_t>(picked.day()));
    m_image.SetDeliveryMonth(static_cast<std::uint8_t>(picked.month()));
    m_image.SetDeliveryYear(static_cast<std::uint8_t>(picked.year() - 2000));
  }
  auto* rate = ControlAs<QComboBox>(IDC_OUTPUT_RATE);
  if (rate->currentIndex() >= 0) {
    m_image.SetOutputRate(static_cast<std::uint8_t>(rate->currentData().toInt()));
  }
  m_image.SetMotorVoltage(static_cast<std::uint16_t>(ParseVoltage()));
  m_image.SetMotorUnitInstalled((m_motorUnitIndex & 1) != 0);
  m_image.SetAutoMute((ControlAs<QComboBox>(IDC_AUTOMUTE)->currentIndex() & 1) != 0);
  m_image.SetPolarityInverted((ControlAs<QComboBox>(IDC_POLARITY)->currentIndex() & 1) != 0);
  // No selection (-1) keeps the code 7, which has no entry.
  m_image.SetRampSpeed(static_cast<unsigned>(ControlAs<QComboBox>(IDC_RAMP_SPEED)->currentIndex()) &
                       7);
  m_image.SetPresetIndex(static_cast<unsigned>(m_selectedCurve));
  m_image.SetCurve(static_cast<std::size_t>(m_selectedCurve), m_currentCurve);
}

void CPropertyVELMOR::ReadSettings() {
  // Whether or not every chunk came, the controls show the image as it now stands and the
  // device gets the selected curve.
  m_transfer.ReadImage(m_identity.ImageLength());
  FillControls();
  m_link.SetEqualization(m_currentCurve.CurveMode(), m_currentCurve.T(0), m_currentCurve.T(1),
                         m_currentCurve.T(2), m_currentCurve.T(3), false);
}

void CPropertyVELMOR::WriteSettings() {
  const std::uint16_t length = m_identity.ImageLength();
  if (length == 0) return;
  GatherControls();
  m_transfer.WriteImage(length);
}

void CPropertyVELMOR::RestoreDefaults() {
  const std::uint16_t length = m_identity.ImageLength();
  if (length == 0) return;
  // The system data as last read or gathered, unless the technician asks for fresh data.
  SystemData system = m_image.GetSystemData();
  if (m_bService && m_services.askInitSystemData(*this)) {
    const settings::LocalDate today = m_services.today();
    system = SystemData::Fresh(today.year, today.month, today.day);
  }
  m_transfer.RestoreDefaults(system);
  ReadSettings();
}

void CPropertyVELMOR::OnReadSettings() {
  panel::WaitCursor wait;
  ReadSettings();
}

void CPropertyVELMOR::OnWriteSettings() {
  panel::WaitCursor wait;
  WriteSettings();
  ReadSettings();
}

void CPropertyVELMOR::OnDefaultSettings() {
  panel::WaitCursor wait;
  RestoreDefaults();
  FillControls();
}

void CPropertyVELMOR::OnOutputRateChosen(int index) {
  const auto code = ControlAs<QComboBox>(IDC_OUTPUT_RATE)->itemData(index).toUInt();
  m_link.SetOutputRate(code);
}

void CPropertyVELMOR::OnPolarityChosen(int index) {
  m_link.SetPolarity(static_cast<unsigned>(index));
}
