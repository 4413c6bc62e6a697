#pragma once
// The firmware update worker for the panel: one update on a thread of its own, reported by
// signals.
//
// Use (on the panel's thread):
//
//   auto* worker = new CTarnThread(link);   // constructed = suspended
//   worker->m_bBoot = false;                // application region
//   connect(worker, &CTarnThread::UpdateStarted, this, ..., Qt::QueuedConnection);
//   connect(worker, &CTarnThread::StatusPosted, this, ..., Qt::QueuedConnection);
//   connect(worker, &CTarnThread::StatusSent, this, ..., Qt::BlockingQueuedConnection);
//   connect(worker, &CTarnThread::UpdateEnded, this, ..., Qt::QueuedConnection);
//   worker->start();                        // resume; the object deletes itself when done
//
// Start, statuses and end come in order. The two fatal-start statuses ("FATAL: Software not
// found!" and "Can't open <name>!", or a bad S-record file) are sent: connected blocking, the
// worker waits until the receiver has handled them, so the receiver's thread must be running its
// event loop and must not wait for the worker. The receiver and the link must outlive the worker.

#include <QObject>
#include <QString>
#include <QThread>
#include <memory>

#include "device/device_link.h"
#include "device/timing.h"

// The worker's messages, by the numbers the panel knows them by (WM_USER is 0x400); the
// signals below carry them.
inline constexpr unsigned WM_UPDATE_START = 0x403;
inline constexpr unsigned WM_UPDATE_END = 0x404;
inline constexpr unsigned WM_UPDATE_STATUS = 0x405;

class CTarnThread : public QThread {
  Q_OBJECT

 public:
  // Real sleeps and ticks.
  explicit CTarnThread(CDeviceLink& link, QObject* parent = nullptr);
  // `timing` (virtual time in tests) must outlive the worker.
  CTarnThread(CDeviceLink& link, Timing& timing, QObject* parent = nullptr);
  ~CTarnThread() override;

  // Set by the creator before start(); not touched afterwards.
  bool m_bBoot = false;   // false: application region; true: boot region
  QString m_strFileName;  // S-record file; empty selects the carried image

 signals:
  // Emitted on the worker's thread.
  void UpdateStarted();                                      // WM_UPDATE_START
  void StatusPosted(unsigned percent, const QString& text);  // WM_UPDATE_STATUS, percent 0..100
  void StatusSent(unsigned percent, const QString& text);    // WM_UPDATE_STATUS, waited for
  void UpdateEnded(bool success);                            // WM_UPDATE_END

 protected:
  // RunUpdate: start, one download, end.
  void run() override;

 private:
  CDeviceLink& m_link;
  std::unique_ptr<Timing> m_ownTiming;  // set when no timing was given
  Timing& m_timing;
};
