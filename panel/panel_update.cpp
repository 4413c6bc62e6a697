// The panel's side of a firmware update: starting the worker and showing what it reports.

#include <QLabel>
#include <QProgressBar>
#include <QThread>

#include "firmware/tarn_thread.h"
#include "panel/property_velmor.h"

void CPropertyVELMOR::StartUpdate() {
  // Another program updating the same device would make both fail half way.
  auto lock = std::make_unique<device::UpdateLock>(m_link.DeviceName());
  if (!lock->Held()) {
    m_appVersion = QString::fromStdString(lock->Refusal());
    UpdateData(false);
    return;
  }
  CTarnThread* worker = m_services.createUpdateWorker(m_link, m_timing);
  if (!worker) return;
  connect(worker, &CTarnThread::UpdateStarted, this, &CPropertyVELMOR::OnUpdateStart,
          Qt::QueuedConnection);
  connect(worker, &CTarnThread::StatusPosted, this, &CPropertyVELMOR::OnUpdateStatus,
          Qt::QueuedConnection);
  // The fatal-start texts are shown before the worker goes on to end.
  connect(worker, &CTarnThread::StatusSent, this, &CPropertyVELMOR::OnUpdateStatus,
          Qt::BlockingQueuedConnection);
  connect(worker, &CTarnThread::UpdateEnded, this, &CPropertyVELMOR::OnUpdateEnd,
          Qt::QueuedConnection);
  m_updateLock = std::move(lock);
  m_pUpdateThread = worker;
  // Disabling the focused button would pass the focus on to whatever control comes next,
  // where a stray key changes the device. The panel itself holds it until the end.
  m_focusBeforeUpdate = focusWidget();
  setFocus(Qt::OtherFocusReason);
  ControlAs<QProgressBar>(IDC_PROGRESS)->setValue(0);
  UpdateControlStates(false);
  worker->start();
}

void CPropertyVELMOR::OnUpdateStart() {}

void CPropertyVELMOR::OnUpdateStatus(unsigned percent, const QString& text) {
  ControlAs<QProgressBar>(IDC_PROGRESS)->setValue(static_cast<int>(std::min(percent, 100u)));
  m_appVersion = text;
  UpdateData(false);
}

void CPropertyVELMOR::OnUpdateEnd(bool success) {
  m_pUpdateThread = nullptr;
  m_updateLock.reset();
  m_sound.Play();
  if (success) {
    ShowVersions();
    UpdateData(false);
  }
  UpdateControlStates(true);
  QWidget* before = m_focusBeforeUpdate;
  m_focusBeforeUpdate = nullptr;
  if (!TakesFocus(before)) before = Control(IDC_SOFTWARE_UPDATE);
  if (TakesFocus(before)) before->setFocus(Qt::OtherFocusReason);
}
