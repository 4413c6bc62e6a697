#include "panel/property_velmor.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDateEdit>
#include <QFocusEvent>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <algorithm>
#include <cstdio>

#include "device/device_path.h"
#include "eq/picture_control.h"
#include "firmware/tarn_thread.h"
#include "hwtest/hardware_test.h"
#include "panel/control_table.h"
#include "panel/curve_name_validator.h"
#include "panel/dialog_units.h"
#include "panel/embedded_version.h"
#include "panel/panel_icon.h"
#include "panel/slider_rule.h"
#include "settings/settings_fields.h"

namespace {

// The time-constant sliders reach 0..16383 µs, less than the field holds.
constexpr panel::SliderRange kTimeConstantRange{0, 16432, 50};
constexpr int kFieldPage = 10;

constexpr int kTimeConstantSliders[] = {IDC_T1, IDC_T2, IDC_T3, IDC_T4};

// A slider whose positions are its field's whole range.
panel::SliderRange FieldSlider(const settings::Field& field) {
  return {static_cast<int>(field.min), static_cast<int>(field.max) + kFieldPage - 1, kFieldPage};
}

panel::SliderRange GainRange() {
  return FieldSlider(settings::kPhonoGainField);
}

// The absolute and relative corrections share one range.
panel::SliderRange CorrectionRange() {
  return FieldSlider(settings::kAbsoluteCorrectionField);
}

panel::SliderRange RangeOf(int id) {
  if (id == IDC_GAIN) return GainRange();
  for (int t : kTimeConstantSliders) {
    if (t == id) return kTimeConstantRange;
  }
  return CorrectionRange();
}

}  // namespace

const std::array<CPropertyVELMOR::SpeedControls, 3> CPropertyVELMOR::kSpeeds = {{
    {33, SettingsImage::Speed::k33, IDC_SPEED33, IDC_LOCK33, IDC_ABS33, IDC_REL33},
    {45, SettingsImage::Speed::k45, IDC_SPEED45, IDC_LOCK45, IDC_ABS45, IDC_REL45},
    {78, SettingsImage::Speed::k78, IDC_SPEED78, IDC_LOCK78, IDC_ABS78, IDC_REL78},
}};

PanelServices DesktopServices() {
  PanelServices services;
  services.askInitSystemData = [](QWidget& panel) {
    // Yes replaces the serial number and the delivery date, which nothing can read back: Enter
    // alone must not do that.
    return QMessageBox::question(&panel, QApplication::applicationName(),
                                 QStringLiteral("Initialize system data, too?"),
                                 QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::No) == QMessageBox::Yes;
  };
  services.today = [] { return settings::TodayLocal(); };
  services.embeddedVersion = [] { return panel::EmbeddedApplicationVersion(); };
  services.createUpdateWorker = [](CDeviceLink& link, Timing& timing) -> CTarnThread* {
    // Suspended until started; it deletes itself when it ends.
    auto* worker = new CTarnThread(link, timing);
    worker->m_bBoot = false;
    return worker;
  };
  services.runHardwareTest = [](QWidget& panel) {
    CHardwareTest test(&panel);
    test.exec();
  };
  return services;
}

CPropertyVELMOR::CPropertyVELMOR(CDeviceLink& link, Timing& timing, PanelServices services,
                                 QWidget* parent)
    : QDialog(parent),
      m_link(link),
      m_timing(timing),
      m_services(std::move(services)),
      m_deviceThread(this),
      m_transfer(link, timing, m_image),
      m_statusTimer(this),
      m_voltageTimer(this),
      m_reconnectTimer(this),
      m_deviceWatch(this) {
  const DialogUnits units(DialogUnits::DialogFont());
  m_controls = panel::BuildControls(this, units);
  setFixedSize(units.X(panel::kPanelWidth), units.Y(panel::kPanelHeight));
  setWindowTitle(QStringLiteral("VELMOR Control"));
  setMouseTracking(true);

  m_statusTimer.setObjectName(QStringLiteral("STATUS_TIMER"));
  m_voltageTimer.setObjectName(QStringLiteral("VOLTAGE_TIMER"));
  m_statusTimer.setInterval(1000);
  connect(&m_statusTimer, &QTimer::timeout, this,
          [this] { WhenIdle(kHeldStatusTimer, [this] { OnTimer(STATUS_TIMER); }); });
  connect(&m_voltageTimer, &QTimer::timeout, this,
          [this] { WhenIdle(kHeldVoltageTimer, [this] { OnTimer(VOLTAGE_TIMER); }); });
  m_reconnectTimer.setSingleShot(true);
  connect(&m_reconnectTimer, &QTimer::timeout, this,
          [this] { WhenIdle(kHeldReconnect, [this] { Connect(); }); });
  connect(&m_deviceWatch, &panel::DeviceFolderWatch::Changed, this,
          [this] { WhenIdle(kHeldDeviceChange, [this] { OnDeviceChange(); }); });

  // The serial number takes the whole 32-bit range; the date picker the years a byte can hold.
  ControlAs<QLineEdit>(IDC_SERIAL)->setMaxLength(10);
  ControlAs<QDateEdit>(IDC_DELIVERY)->setDateRange(QDate(2000, 1, 1), QDate(2255, 12, 31));
  auto* eqType = ControlAs<QComboBox>(IDC_EQ_TYPE);
  eqType->lineEdit()->setMaxLength(int{EqCurve::kMaxNameLength});
  eqType->setValidator(new panel::CurveNameValidator(eqType));
  // The combo has the focus while its field is edited, so its focus-out is the field's.
  Control(IDC_MOTOR_VOLTAGE)->installEventFilter(this);
  // Enter in a field must never press a button such as "&Software Update".
  for (QPushButton* button : findChildren<QPushButton*>()) button->setAutoDefault(false);

  ConnectSignals();
  m_link.SetExchangeRunner(&m_deviceThread);
}

CPropertyVELMOR::~CPropertyVELMOR() {
  m_link.ReleaseExchangeRunner(&m_deviceThread);
}

void CPropertyVELMOR::WhenIdle(HeldCall key, const std::function<void()>& call) {
  if (!m_deviceThread.Hold(key, call)) call();
}

void CPropertyVELMOR::ConnectSignals() {
  for (auto it = m_controls.cbegin(); it != m_controls.cend(); ++it) {
    if (auto* bar = qobject_cast<QScrollBar*>(it.value())) {
      const int id = it.key();
      connect(bar, &QAbstractSlider::actionTriggered, this,
              [this, id](int action) { OnScroll(id, action); });
    }
  }
  auto* rate = ControlAs<QComboBox>(IDC_OUTPUT_RATE);
  connect(rate, &QComboBox::activated, this, &CPropertyVELMOR::OnOutputRateChosen);
  auto* polarity = ControlAs<QComboBox>(IDC_POLARITY);
  connect(polarity, &QComboBox::activated, this, &CPropertyVELMOR::OnPolarityChosen);
  auto* eqType = ControlAs<QComboBox>(IDC_EQ_TYPE);
  connect(eqType, &QComboBox::activated, this, &CPropertyVELMOR::OnCurveChosen);
  connect(eqType->lineEdit(), &QLineEdit::textEdited, this, &CPropertyVELMOR::OnCurveNameEdited);
  auto* ramp = ControlAs<QComboBox>(IDC_RAMP_SPEED);
  connect(ramp, &QComboBox::activated, this, &CPropertyVELMOR::OnRampChosen);
  auto* voltage = ControlAs<QComboBox>(IDC_MOTOR_VOLTAGE);
  connect(voltage->lineEdit(), &QLineEdit::textEdited, this, &CPropertyVELMOR::OnVoltageEdited);
  connect(voltage, &QComboBox::activated, this, &CPropertyVELMOR::OnVoltageChosen);
  for (int which = 0; which < 3; ++which) {
    connect(ControlAs<QCheckBox>(kSpeeds[which].check), &QCheckBox::clicked, this,
            [this, which] { OnSpeedClicked(which); });
    connect(ControlAs<QCheckBox>(kSpeeds[which].lock), &QCheckBox::clicked, this,
            [this, which] { OnLockClicked(which); });
  }
  connect(ControlAs<QCheckBox>(IDC_AUTOSCALE), &QCheckBox::clicked, this,
          &CPropertyVELMOR::RedrawPlot);
  connect(ControlAs<QPushButton>(IDC_SOFTWARE_UPDATE), &QPushButton::clicked, this,
          &CPropertyVELMOR::StartUpdate);
  connect(ControlAs<QPushButton>(IDC_HARDWARE_TEST), &QPushButton::clicked, this,
          &CPropertyVELMOR::OnHardwareTest);
  connect(ControlAs<QPushButton>(IDC_DEFAULT_SETTINGS), &QPushButton::clicked, this,
          &CPropertyVELMOR::OnDefaultSettings);
  connect(ControlAs<QPushButton>(IDC_READ_SETTINGS), &QPushButton::clicked, this,
          &CPropertyVELMOR::OnReadSettings);
  connect(ControlAs<QPushButton>(IDC_WRITE_SETTINGS), &QPushButton::clicked, this,
          &CPropertyVELMOR::OnWriteSettings);
}

void CPropertyVELMOR::SetFonts() {
  QFont controlFont(QStringLiteral("MS Sans Serif"));
  controlFont.setPixelSize(8);
  controlFont.setWeight(QFont::Normal);
  for (QWidget* child : findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
    child->setFont(controlFont);
  }
  // Its height of 20 is the cell's, ascent and descent: a 20 pixel em would run past the
  // label's 13 units and cut off the descenders. Where the face is missing, the one that
  // stands in for it must fit the label as laid out, which the dialog font sized.
  QWidget* gainLabel = Control(IDC_GAIN_LABEL);
  QFont gainFont(QStringLiteral("Century Gothic"));
  gainFont.setWeight(QFont::Bold);
  const int cellHeight = std::min(20, gainLabel->height());
  for (int pixels = 20; pixels > 1; --pixels) {
    gainFont.setPixelSize(pixels);
    if (QFontMetrics(gainFont).height() <= cellHeight) break;
  }
  gainLabel->setFont(gainFont);
}

bool CPropertyVELMOR::OnInitDialog() {
  if (m_initialised) return true;
  m_initialised = true;

  SetFonts();
  if (const QScreen* screen = this->screen()) {
    move(screen->availableGeometry().center() - rect().center());
  }
  auto* plot = ControlAs<eq::PictureControl>(IDC_PLOT);
  // Painted at the screen's pixel density, so the plot is as sharp as the text beside it.
  m_plotBitmap = eq::PictureFor(*plot);
  m_plotBitmap.fill(Qt::white);
  plot->SetPicture(m_plotBitmap);
  m_response.SetRange(5.0, 31000.0);
  setWindowIcon(panel::PanelIcon());

  panel::SetSliderRange(*ControlAs<QScrollBar>(IDC_GAIN), GainRange());
  for (int id : kTimeConstantSliders) {
    panel::SetSliderRange(*ControlAs<QScrollBar>(id), kTimeConstantRange);
  }
  for (const SpeedControls& s : kSpeeds) {
    panel::SetSliderRange(*ControlAs<QScrollBar>(s.absolute),
                          FieldSlider(settings::kAbsoluteCorrectionField));
    panel::SetSliderRange(*ControlAs<QScrollBar>(s.relative),
                          FieldSlider(settings::kRelativeCorrectionField));
  }
  auto* rate = ControlAs<QComboBox>(IDC_OUTPUT_RATE);
  for (int i = 0; i < rate->count(); ++i) rate->setItemData(i, i + 1);

  m_image.SetPanelDefaults();
  SelectCurve(static_cast<int>(m_image.PresetIndex()));

  m_statusTimer.start();
  if (std::string refusal; !device::EnsureDeviceFolder(&refusal)) {
    std::fprintf(stderr, "velmor-panel: %s\n", refusal.c_str());
    m_absenceSaid = refusal;
  }
  m_deviceWatch.Watch(QString::fromStdString(device::DeviceFolder()));

  Connect();
  UpdateControlStates(true);
  raise();

  // The only tool tip of the panel, over the 33 absolute correction and its lock box; it wakes
  // after 100 ms instead of the style's usual delay.
  const QString tip = QStringLiteral("absolute correction for 33 turns");
  auto* tipStyle = new TipDelayStyle;
  tipStyle->setParent(this);
  for (int id : {IDC_ABS33, IDC_LOCK33}) {
    Control(id)->setToolTip(tip);
    Control(id)->setStyle(tipStyle);
  }
  return true;
}

int CPropertyVELMOR::TipDelayStyle::styleHint(StyleHint hint, const QStyleOption* option,
                                              const QWidget* widget,
                                              QStyleHintReturn* returnData) const {
  if (hint == SH_ToolTip_WakeUpDelay) return kToolTipDelayMs;
  return QProxyStyle::styleHint(hint, option, widget, returnData);
}

void CPropertyVELMOR::showEvent(QShowEvent* event) {
  OnInitDialog();
  QDialog::showEvent(event);
}

void CPropertyVELMOR::closeEvent(QCloseEvent* event) {
  // Never in the middle of an exchange: the close comes again once it is over.
  if (m_deviceThread.Hold(kHeldClose, [this] { close(); })) {
    event->ignore();
    return;
  }
  // The worker posts to this panel until it ends, so the panel stays while it runs.
  if (UpdateRunning()) {
    event->ignore();
    return;
  }
  QDialog::closeEvent(event);
}

void CPropertyVELMOR::reject() {
  if (UpdateRunning()) return;
  QDialog::reject();
}

bool CPropertyVELMOR::eventFilter(QObject* watched, QEvent* event) {
  // Opening the combo's own list is no leaving of the field.
  if (event->type() == QEvent::FocusOut && watched == Control(IDC_MOTOR_VOLTAGE) &&
      static_cast<QFocusEvent*>(event)->reason() != Qt::PopupFocusReason) {
    ShowVoltage(ParseVoltage());
  }
  return QDialog::eventFilter(watched, event);
}

int CPropertyVELMOR::Position(int id) const {
  // During a scroll action the new position is in sliderPosition; value() follows after.
  return ControlAs<QScrollBar>(id)->sliderPosition();
}

void CPropertyVELMOR::SetPosition(int id, int position) {
  ControlAs<QScrollBar>(id)->setValue(position);
}

void CPropertyVELMOR::OnScroll(int id, int action) {
  auto* bar = ControlAs<QScrollBar>(id);
  const int position = panel::ApplySliderRule(static_cast<QAbstractSlider::SliderAction>(action),
                                              RangeOf(id), bar->value(), bar->sliderPosition());
  bar->setSliderPosition(position);
  UpdateData(true);

  if (id == IDC_GAIN) {
    m_image.SetPhonoGain(static_cast<std::int8_t>(position));
    ShowGain();
    return;
  }
  for (int which = 0; which < 4; ++which) {
    if (kTimeConstantSliders[which] == id) {
      OnTimeConstantScroll(which, position);
      return;
    }
  }
  for (int which = 0; which < 3; ++which) {
    if (kSpeeds[which].absolute == id || kSpeeds[which].relative == id) {
      OnCorrectionScroll(which);
      return;
    }
  }
}
