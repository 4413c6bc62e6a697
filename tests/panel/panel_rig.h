#pragma once
// A panel on a scripted device, and the ways a user reaches its controls.

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTimer>
#include <memory>

#include "panel/property_velmor.h"
#include "tests/panel/fake_velmor.h"
#include "tests/support/virtual_timing.h"

struct PanelRig {
  FakeVelmor fake;
  std::unique_ptr<CDeviceLink> link = MakeLinkTo(fake.device);
  VirtualTiming timing;
  std::unique_ptr<CPropertyVELMOR> panel;

  // Builds and shows the panel, which connects to the device; the status timer is stopped so
  // that only what a test does reaches the device.
  CPropertyVELMOR& Open(bool service = false, bool advanced = false) {
    panel = std::make_unique<CPropertyVELMOR>(*link, timing);
    panel->m_bService = service ? 1 : 0;
    panel->m_bAdvanced = advanced ? 1 : 0;
    panel->m_askInitSystemData = [] { return false; };
    panel->OnInitDialog();
    Timer("STATUS_TIMER")->stop();
    panel->show();
    return *panel;
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

  // A user picking an entry of a list.
  void Choose(int id, int index) {
    auto* combo = Get<QComboBox>(id);
    combo->setCurrentIndex(index);
    emit combo->activated(index);
  }
  void Click(int id) { QTest::mouseClick(Get<QAbstractButton>(id), Qt::LeftButton); }
  void Scroll(int id, QAbstractSlider::SliderAction action) {
    Get<QScrollBar>(id)->triggerAction(action);
  }
  // A user replacing the text of an editable field key by key.
  void Type(QLineEdit* edit, const QString& text) {
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Delete);
    QTest::keyClicks(edit, text);
  }
};
