#pragma once
// A panel on the simulated device in-process, in virtual time, with every frame the device
// received, and the ways a user reaches the panel's controls.

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTimer>
#include <memory>
#include <mutex>
#include <vector>

#include "panel/property_velmor.h"
#include "sim/sim_device.h"
#include "tests/support/recording_device.h"
#include "tests/support/virtual_timing.h"

// Services that fail the test on any call it did not expect. Every connect asks for the carried
// version, so that one is the real one; a test sets the others it expects before Open.
inline PanelServices StrictServices() {
  PanelServices s;
  s.askInitSystemData = [](QWidget&) {
    QTest::qFail("unexpected question \"Initialize system data, too?\"", __FILE__, __LINE__);
    return false;
  };
  s.today = [] {
    QTest::qFail("unexpected call for today's date", __FILE__, __LINE__);
    return settings::LocalDate{};
  };
  s.embeddedVersion = DesktopServices().embeddedVersion;
  s.createUpdateWorker = [](CDeviceLink&, Timing&) -> CTarnThread* {
    QTest::qFail("unexpected update worker", __FILE__, __LINE__);
    return nullptr;
  };
  s.runHardwareTest = [](QWidget&) {
    QTest::qFail("unexpected hardware test window", __FILE__, __LINE__);
  };
  return s;
}

struct PanelRig {
  PanelRig() {
    device.SetTrace([this](const SimTraceEntry& entry) {
      std::lock_guard guard(mutex);
      frames.push_back({entry.frame, entry.replyAsked});
    });
    // Every test starts from the panel's own defaults on the device.
    StoreDefaultsWith([](SettingsImage&) {});
  }

  VirtualTiming timing;
  SimOptions options = [this] {
    SimOptions o = SimOptions::Instant();
    o.timing = &timing;
    o.requestMs = 1;  // lets the busy wait see time pass
    return o;
  }();
  SimDevice device{options};
  std::unique_ptr<CDeviceLink> link = MakeLinkTo(device);
  std::mutex mutex;  // guards frames: an update worker's requests arrive on its own thread
  std::vector<RecordedFrame> frames;
  PanelServices services = StrictServices();  // given to the panel by Open
  std::unique_ptr<CPropertyVELMOR> panel;

  // Builds and shows the panel, which connects to the device; the status timer is stopped so
  // that only what a test does reaches the device.
  CPropertyVELMOR& Open(bool service = false, bool advanced = false) {
    panel = std::make_unique<CPropertyVELMOR>(*link, timing, services);
    panel->m_bService = service ? 1 : 0;
    panel->m_bAdvanced = advanced ? 1 : 0;
    panel->OnInitDialog();
    Timer("STATUS_TIMER")->stop();
    panel->show();
    return *panel;
  }

  // Makes `image` the device's stored settings, as a write from the tool would.
  void Store(const SettingsImage& image) {
    for (unsigned offset = 0; offset < 238; offset += 26) {
      const unsigned count = std::min(26u, 238u - offset);
      link->Request(nullptr, CMD_WRITE_SETTINGS, offset, 0, 0, count,
                    image.Bytes().data() + offset);
    }
    link->Request(nullptr, CMD_WRITE_SETTINGS, 0, 1, 0, 0, nullptr);
    ClearFrames();
  }
  // The panel's defaults with one change made by `edit`.
  template <class Edit>
  void StoreDefaultsWith(Edit edit) {
    SettingsImage image;
    image.SetPanelDefaults();
    edit(image);
    Store(image);
  }
  void SetFaults(void (*edit)(SimFaults&)) {
    SimFaults faults = device.Faults();
    edit(faults);
    device.SetFaults(faults);
  }

  std::vector<RecordedFrame> Frames(std::uint8_t command) {
    std::lock_guard guard(mutex);
    std::vector<RecordedFrame> out;
    for (const RecordedFrame& f : frames) {
      if (f.Command() == command) out.push_back(f);
    }
    return out;
  }
  std::size_t FrameCount() {
    std::lock_guard guard(mutex);
    return frames.size();
  }
  void ClearFrames() {
    std::lock_guard guard(mutex);
    frames.clear();
  }

  QTimer* Timer(const char* name) const { return panel->findChild<QTimer*>(QLatin1String(name)); }
  template <class T>
  T* Get(int id) const {
    return panel->ControlAs<T>(id);
  }
  QString Text(int id) const {
    if (auto* label = Get<QLabel>(id)) return label->text();
    if (auto* box = Get<QAbstractButton>(id)) return box->text();
    if (auto* combo = Get<QComboBox>(id)) return combo->currentText();
    return Get<QLineEdit>(id)->text();
  }

  // Input as a person gives it: a click at a point of the panel's window reaches whatever lies
  // on top there, keys go to the widget that has the focus, Tab moves the focus.
  bool Activate() {
    panel->activateWindow();
    return QTest::qWaitForWindowActive(panel.get());
  }
  QPoint PlaceOf(int id) const {
    QWidget* control = panel->Control(id);
    return control->mapTo(panel.get(), control->rect().center());
  }
  void ClickAt(QPoint at, Qt::MouseButton button = Qt::LeftButton) {
    QTest::mouseClick(panel->windowHandle(), button, {}, at);
  }
  void ClickOn(int id) { ClickAt(PlaceOf(id)); }
  // Keys go to the focused widget, or to the focused widget of an open list or menu.
  static QWidget* Focus() {
    if (QWidget* popup = QApplication::activePopupWidget()) {
      return popup->focusWidget() ? popup->focusWidget() : popup;
    }
    return QApplication::focusWidget();
  }
  static void Key(Qt::Key key, Qt::KeyboardModifiers modifiers = {}) {
    if (QWidget* focus = Focus()) QTest::keyClick(focus, key, modifiers);
  }
  // Types `text`; a character beyond ASCII comes as a key without a key code, as a keyboard
  // layout or an input method delivers it.
  static void Keys(const QString& text) {
    for (QChar c : text) {
      QWidget* focus = Focus();
      if (!focus) return;
      if (c.unicode() < 0x80) {
        QTest::keyClick(focus, c.toLatin1());
        continue;
      }
      QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
      QCoreApplication::sendEvent(focus, &press);
      QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, QString(c));
      QCoreApplication::sendEvent(focus, &release);
    }
  }
  // Replaces the focused field's text: select all, then type (or delete).
  static void Retype(const QString& text) {
    Key(Qt::Key_A, Qt::ControlModifier);
    if (text.isEmpty()) Key(Qt::Key_Delete);
    Keys(text);
  }
  // Opens a list at its place and picks an entry with the keys of its open list.
  void Pick(int id, int index) {
    ClickOn(id);
    if (!Get<QComboBox>(id)->view()->isVisible()) Key(Qt::Key_F4);
    Key(Qt::Key_Home);
    for (int i = 0; i < index; ++i) Key(Qt::Key_Down);
    Key(Qt::Key_Return);
    // The offscreen platform leaves no window active once the list closes; a desktop's window
    // manager gives the activation back to the panel.
    QCoreApplication::processEvents();
    if (QApplication::activeWindow() != panel.get()) Activate();
  }

  // The older helpers, now through the same delivery: a list picked at its place, a button
  // clicked at its place, a slider moved by the keys that ask for `action`, a field retyped.
  void Choose(int id, int index) {
    if (QApplication::activeWindow() != panel.get()) Activate();
    Pick(id, index);
  }
  void Click(int id) { ClickOn(id); }
  void Scroll(int id, QAbstractSlider::SliderAction action) {
    if (QApplication::activeWindow() != panel.get()) Activate();
    const std::pair<QAbstractSlider::SliderAction, Qt::Key> keys[] = {
        {QAbstractSlider::SliderSingleStepSub, Qt::Key_Left},
        {QAbstractSlider::SliderSingleStepAdd, Qt::Key_Right},
        {QAbstractSlider::SliderPageStepSub, Qt::Key_PageUp},
        {QAbstractSlider::SliderPageStepAdd, Qt::Key_PageDown},
        {QAbstractSlider::SliderToMinimum, Qt::Key_Home},
        {QAbstractSlider::SliderToMaximum, Qt::Key_End},
    };
    Get<QScrollBar>(id)->setFocus(Qt::TabFocusReason);
    for (const auto& [asked, key] : keys) {
      if (asked == action) Key(key);
    }
  }
  void Type(QLineEdit* edit, const QString& text) {
    if (QApplication::activeWindow() != panel.get()) Activate();
    QWidget* field = edit->parentWidget() && qobject_cast<QComboBox*>(edit->parentWidget())
                         ? edit->parentWidget()
                         : edit;
    ClickAt(field->mapTo(panel.get(), field->rect().center()));
    Retype(text);
  }
};
