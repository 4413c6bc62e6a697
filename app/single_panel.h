#pragma once
// One panel per user and device. The panel that runs holds a lock file, which names its
// process, for as long as it runs; a later start for the same device finds the lock held,
// brings that panel's window to the front and ends. Both platforms decide it by the lock; only
// the way to the front differs: Windows brings the holder's window forward itself, POSIX
// connects to the holder's raise socket, "<device path>.panel.raise".
//
// The lock: POSIX "<device path>.panel.lock" in the user's device folder, which only its user
// can enter; Windows a file in the user's temporary folder named after the device path.

#include <QLockFile>
#include <QObject>
#include <QString>
#include <memory>
#include <string>

class QSocketNotifier;

namespace app {

// The lock file that says a panel runs for `devicePath`.
QString PanelLockPath(const std::string& devicePath);

class SinglePanel : public QObject {
  Q_OBJECT

 public:
  enum class Outcome {
    Ours,        // this process shows the panel
    HandedOver,  // the running panel was brought to the front; this process ends
    NoAnswer,    // a panel holds the lock but could not be reached; this process ends
  };

  // Takes the panel for `devicePath` or hands over to the process that has it. Needs a
  // QCoreApplication.
  explicit SinglePanel(const std::string& devicePath, QObject* parent = nullptr);
  ~SinglePanel() override;

  Outcome Result() const { return m_outcome; }
  // For the user when the panel could not be reached.
  QString Message() const;

 signals:
  // A later start asked for this panel (POSIX): bring it to the front.
  void RaiseAsked();

 private:
  void ListenForRaise();
  bool RaiseHolder(qint64 pid) const;

  std::string m_raisePath;
  std::unique_ptr<QLockFile> m_lock;
  Outcome m_outcome = Outcome::Ours;
  int m_raiseListener = -1;
  QSocketNotifier* m_raiseNotifier = nullptr;
};

}  // namespace app
