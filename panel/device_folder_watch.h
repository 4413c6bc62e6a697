#pragma once
// Watches the device folder for device objects coming and going, and keeps watching when the
// folder itself is removed and made again (a tmp cleaner, a new login session): a watch on a
// folder ends with the folder, so the nearest existing folder above it is watched as well, and
// the device folder's watch is set up again as soon as the folder is back.

#include <QFileSystemWatcher>
#include <QObject>
#include <QString>

namespace panel {

class DeviceFolderWatch : public QObject {
  Q_OBJECT

 public:
  explicit DeviceFolderWatch(QObject* parent = nullptr);

  // Starts watching `folder`; an empty path watches nothing.
  void Watch(const QString& folder);
  bool WatchesFolder() const;

 signals:
  // Anything changed in the device folder, or the folder was removed or made again.
  void Changed();

 private:
  void OnDirectoryChanged(const QString& path);
  // Watches the folder if it exists and the nearest existing folder above it; true when the
  // folder's own watch is new.
  bool Rewatch();

  QFileSystemWatcher m_watcher;
  QString m_folder;    // the device folder, cleaned
  QString m_ancestor;  // the nearest existing folder above it, watched for its return
};

}  // namespace panel
