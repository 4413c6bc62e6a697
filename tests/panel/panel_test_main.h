#pragma once
// What every panel test binary sets up first: a private device folder, an English locale and
// the offscreen platform.

#include <QLocale>
#include <QTemporaryDir>
#include <QtGlobal>

inline void PreparePanelTests(QTemporaryDir& deviceFolder) {
  qputenv("VELMOR_DEVICE_DIR", deviceFolder.path().toLocal8Bit());
  QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
}
