#pragma once
// The firmware update worker for the panel: one update on a thread of its own, reported to the
// panel by queued calls.
//
// Use (on the panel's thread):
//
//   auto* worker = new CTarnThread(link);   // constructed = suspended
//   worker->m_bBoot = false;                // application region
//   worker->m_pPanel = this;                // receives every report
//   worker->start();                        // resume; the object deletes itself when done
//
// The receiver implements three slots (or Q_INVOKABLE methods), called on its own thread:
//
//   void OnUpdateStart();                                 // WM_UPDATE_START
//   void OnUpdateStatus(unsigned percent, QString text);  // WM_UPDATE_STATUS, percent 0..100
//   void OnUpdateEnd(bool success);                       // WM_UPDATE_END
//
// Start, statuses and end are queued in order. The two fatal-start statuses ("FATAL: Software not
// found!" and "Can't open <name>!", or a bad S-record file) are blocking: the worker waits until
// the receiver has handled them, so the receiver's thread must be running its event loop and must
// not wait for the worker. The receiver and the link must outlive the worker.

#include <QObject>
#include <QString>
#include <QThread>
#include <memory>

#include "device/device_link.h"
#include "device/timing.h"

// The worker's messages, by the numbers the panel knows them by (WM_USER is 0x400).
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
  bool m_bBoot = false;         // false: application region; true: boot region
  QObject* m_pPanel = nullptr;  // receiver of the reports; none are sent while null
  QString m_strFileName;        // S-record file; empty selects the carried image

 protected:
  // RunUpdate: start, one download, end.
  void run() override;

 private:
  CDeviceLink& m_link;
  std::unique_ptr<Timing> m_ownTiming;  // set when no timing was given
  Timing& m_timing;
};
