#pragma once
// The control panel: the tool's one window. Its behaviour is split by concern over
// property_velmor.cpp (construction, initialisation, routing), panel_settings.cpp,
// panel_equalization.cpp, panel_motor.cpp, panel_connection.cpp and panel_update.cpp.

#include <QDate>
#include <QDialog>
#include <QHash>
#include <QPixmap>
#include <QPointer>
#include <QProxyStyle>
#include <QTimer>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "device/device_link.h"
#include "device/timing.h"
#include "device/update_lock.h"
#include "device/wire.h"
#include "eq/response_curve.h"
#include "panel/asterisk_sound.h"
#include "panel/control_ids.h"
#include "panel/device_folder_watch.h"
#include "panel/device_thread.h"
#include "settings/settings_image.h"
#include "settings/settings_transfer.h"

class CTarnThread;

class QThread;

namespace panel {

// The application version the tool carries for "&Software Update"; absent when it carries none.
struct EmbeddedVersion {
  unsigned major = 0;
  unsigned minor = 0;
  unsigned day = 0;
  unsigned month = 0;
  unsigned year = 0;  // full year, as stored
};

}  // namespace panel

// What the panel asks of its surroundings, given at construction: the desktop's own in the
// application (DesktopServices), doubles in tests.
struct PanelServices {
  // "Initialize system data, too?", asked over the panel: true for yes.
  std::function<bool(QWidget& panel)> askInitSystemData;
  // Today's local date for fresh system data.
  std::function<settings::LocalDate()> today;
  // The carried application's version, for the suffix of the version line.
  std::function<std::optional<panel::EmbeddedVersion>()> embeddedVersion;
  // Creates the update worker, suspended; null when it cannot be created.
  std::function<CTarnThread*(CDeviceLink&, Timing&)> createUpdateWorker;
  // Runs the hardware test window modally over the panel.
  std::function<void(QWidget& panel)> runHardwareTest;
};

PanelServices DesktopServices();

class CPropertyVELMOR : public QDialog {
  Q_OBJECT

 public:
  CPropertyVELMOR(CDeviceLink& link, Timing& timing, PanelServices services,
                  QWidget* parent = nullptr);
  ~CPropertyVELMOR() override;

  // Mode flags, 0 or 1, set by start-up before the panel is first shown.
  std::int32_t m_bService = 0;
  std::int32_t m_bAdvanced = 0;

  QWidget* Control(int id) const { return m_controls.value(id, nullptr); }
  template <class T>
  T* ControlAs(int id) const {
    return qobject_cast<T*>(Control(id));
  }

  SettingsImage& Image() { return m_image; }
  const DeviceIdentity& Identity() const { return m_identity; }
  const EqCurve& CurrentCurve() const { return m_currentCurve; }
  int SelectedCurve() const { return m_selectedCurve; }
  bool UpdateRunning() const { return m_pUpdateThread != nullptr; }
  // The thread the panel's exchanges run on while the window waits.
  panel::DeviceThread& DeviceThread() { return m_deviceThread; }

  // Initialisation, once, before the panel is first shown (showEvent runs it if nobody did).
  bool OnInitDialog();

  // Settings, bound fields and the buttons (panel_settings.cpp).
  void UpdateData(bool saveAndValidate);
  void FillControls();
  void GatherControls();
  void ShowGain();
  void ShowDeliveryDate();
  void ReadSettings();
  void WriteSettings();
  void RestoreDefaults();
  void OnReadSettings();
  void OnWriteSettings();
  void OnDefaultSettings();

  // Equalization (panel_equalization.cpp).
  void SelectCurve(int index);
  void ListCurveNames();  // the image's eight curve names, in slot order
  void ShowCurve();
  void RedrawPlot();

  // Motor and speed (panel_motor.cpp).
  unsigned ParseVoltage() const;
  void ShowVoltage(unsigned voltage);
  void RefreshSpeedLabels();

  // Connection and status (panel_connection.cpp).
  bool Connect();
  void UpdateControlStates(bool enabled);
  void ShowVersions();
  void SayWhyAbsent();
  void ShowHardwareStatus();
  void OnTimer(int id);
  void OnDeviceChange();
  void OnHardwareTest();

  // Update control (panel_update.cpp).
  void StartUpdate();

 public slots:
  void OnUpdateStart();
  void OnUpdateStatus(unsigned percent, const QString& text);
  void OnUpdateEnd(bool success);

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void reject() override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
#ifdef _WIN32
  // WM_DEVICECHANGE: every top-level window hears of devices coming and going.
  bool nativeEvent(const QByteArray& eventType, void* message, qintptr* result) override;
#endif

 private:
  static constexpr int kToolTipDelayMs = 100;
  // The application's style, but for the tool tip's wake-up delay.
  class TipDelayStyle final : public QProxyStyle {
   public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override;
  };

  // The three speeds and their controls, in the order 33, 45, 78.
  struct SpeedControls {
    std::uint16_t speed;
    SettingsImage::Speed field;
    int check, lock, absolute, relative;
  };
  static const std::array<SpeedControls, 3> kSpeeds;

  void ConnectSignals();
  bool TakesFocus(const QWidget* control) const;  // a visible, enabled control of the panel
  void KeepFocusOnAUsableControl();
  void SetFonts();
  void OnScroll(int id, int action);
  int Position(int id) const;
  void SetPosition(int id, int position);

  void OnOutputRateChosen(int index);
  void OnPolarityChosen(int index);
  void OnCurveChosen(int index);
  void OnCurveNameEdited(const QString& text);
  void OnTimeConstantScroll(int which, int position);
  void OnRampChosen(int index);
  void OnVoltageEdited();
  void OnVoltageChosen();
  void OnSpeedClicked(int which);
  void OnLockClicked(int which);
  void OnCorrectionScroll(int which);
  void FillSpeedControls();

  // What the event loop starts while the window waits for an exchange runs after it, once.
  enum HeldCall {
    kHeldStatusTimer,
    kHeldVoltageTimer,
    kHeldReconnect,
    kHeldDeviceChange,
    kHeldUpdateEnd,
    kHeldClose
  };
  // Runs `call` now, or once the exchange the window waits for is over.
  void WhenIdle(HeldCall key, const std::function<void()>& call);

  CDeviceLink& m_link;
  Timing& m_timing;
  PanelServices m_services;
  panel::DeviceThread m_deviceThread;  // installed into m_link for this panel's lifetime
  QHash<int, QWidget*> m_controls;     // every control with an id, by id

  SettingsImage m_image;      // the model every control shows
  DeviceIdentity m_identity;  // of the last successful Connect
  EqCurve m_currentCurve;     // working copy of the selected slot
  int m_selectedCurve = 0;    // 0..7
  settings::SettingsTransfer m_transfer;

  // Bound fields: members exchanged with their controls by UpdateData.
  QString m_serialText;                  // 1005
  QString m_appVersion;                  // 1011
  QString m_bootVersion;                 // 1012
  std::array<QString, 4> m_curveLabels;  // 1038, 1039, 1041, 1043
  int m_motorUnitIndex = 0;              // 1031
  std::array<bool, 3> m_speedChecked{};  // 1048, 1049, 1050

  QDate m_shownDeliveryDate;     // what the last fill put into the picker
  eq::ResponseCurve m_response;  // of m_currentCurve, with the plot's state
  QPixmap m_plotBitmap;          // the response plot, painted whole and shown by 1018

  QTimer m_statusTimer;       // STATUS_TIMER, 1000 ms
  QTimer m_voltageTimer;      // VOLTAGE_TIMER, pending motor voltage
  QTimer m_reconnectTimer;    // one more Connect when the device object was not ready yet
  std::string m_absenceSaid;  // why the device is away, as last written to stderr
  panel::DeviceFolderWatch m_deviceWatch;
  panel::AsteriskSound m_sound;

  QThread* m_pUpdateThread = nullptr;     // the running update worker; only tested for null
  QPointer<QWidget> m_focusBeforeUpdate;  // gets the focus back when the update ends
  std::unique_ptr<device::UpdateLock> m_updateLock;  // held while the worker runs
  bool m_initialised = false;
};
