#include "panel/device_folder_watch.h"

#include <QDir>
#include <QFileInfo>

namespace panel {

DeviceFolderWatch::DeviceFolderWatch(QObject* parent) : QObject(parent), m_watcher(this) {
  connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this,
          &DeviceFolderWatch::OnDirectoryChanged);
}

void DeviceFolderWatch::Watch(const QString& folder) {
  if (!m_watcher.directories().isEmpty()) m_watcher.removePaths(m_watcher.directories());
  m_folder = folder.isEmpty() ? QString() : QDir::cleanPath(QDir(folder).absolutePath());
  m_ancestor.clear();
  Rewatch();
}

bool DeviceFolderWatch::WatchesFolder() const {
  return !m_folder.isEmpty() && m_watcher.directories().contains(m_folder);
}

bool DeviceFolderWatch::Rewatch() {
  if (m_folder.isEmpty()) return false;
  QString ancestor = QFileInfo(m_folder).absolutePath();
  while (!QFileInfo(ancestor).isDir() && !QDir(ancestor).isRoot()) {
    ancestor = QFileInfo(ancestor).absolutePath();
  }
  if (ancestor != m_ancestor) {
    if (!m_ancestor.isEmpty()) m_watcher.removePath(m_ancestor);
    m_ancestor = ancestor;
    m_watcher.addPath(m_ancestor);
  }
  if (WatchesFolder() || !QFileInfo(m_folder).isDir()) return false;
  return m_watcher.addPath(m_folder);
}

void DeviceFolderWatch::OnDirectoryChanged(const QString& path) {
  if (path == m_folder) {
    // The folder's watch ends with the folder; the folder above it tells of its return.
    Rewatch();
    emit Changed();
    return;
  }
  // Something changed above the folder: only the folder's return counts; its removal is told
  // by its own watch.
  if (Rewatch()) emit Changed();
}

}  // namespace panel
