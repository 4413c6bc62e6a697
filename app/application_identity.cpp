#include "app/application_identity.h"

#include <QGuiApplication>

#include "velmor_version.h"

namespace app {

void SetApplicationIdentity() {
  QCoreApplication::setApplicationName(QStringLiteral("VELMOR Control"));
  QCoreApplication::setApplicationVersion(QStringLiteral(VELMOR_VERSION));
  // A Wayland dock finds the icon through the desktop entry, never through the window.
  QGuiApplication::setDesktopFileName(QStringLiteral("velmor-control"));
}

}  // namespace app
