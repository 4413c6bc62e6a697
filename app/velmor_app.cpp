#include "app/velmor_app.h"

#include <QMessageBox>
#include <QProxyStyle>

#include "app/application_identity.h"
#include "app/command_line.h"
#include "app/single_panel.h"
#include "device/device_path.h"
#include "device/timing.h"
#include "panel/property_velmor.h"

namespace {

// The panel's tool tip comes up 100 ms after the pointer stops.
class QuickToolTipStyle final : public QProxyStyle {
 public:
  int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                QStyleHintReturn* returnData) const override {
    if (hint == SH_ToolTip_WakeUpDelay) return 100;
    return QProxyStyle::styleHint(hint, option, widget, returnData);
  }
};

}  // namespace

bool CVelmorApp::InitInstance(int& argc, char** argv) {
  // Read before Qt takes its own options out of argv.
  const app::Modes modes = app::ModesFromTail(app::CommandLineTail(argc, argv));
  m_application = std::make_unique<QApplication>(argc, argv);
  app::SetApplicationIdentity();
  QApplication::setStyle(new QuickToolTipStyle);  // the application takes it over

  // Two panels on one device would both poll and both write: a second start shows the first.
  device::EnsureDeviceFolder();
  app::SinglePanel single(device::DevicePath());
  if (single.Result() == app::SinglePanel::Outcome::NoAnswer) {
    QMessageBox::information(nullptr, QApplication::applicationName(), single.Message());
  }
  if (single.Result() != app::SinglePanel::Outcome::Ours) {
    m_application.reset();
    return false;
  }

  SystemTiming timing;
  {
    CPropertyVELMOR panel(m_link, timing, DesktopServices());
    panel.m_bService = modes.service ? 1 : 0;
    panel.m_bAdvanced = modes.advanced ? 1 : 0;
    QObject::connect(&single, &app::SinglePanel::RaiseAsked, &panel, [&panel] {
      panel.showNormal();
      panel.raise();
      panel.activateWindow();
    });
    panel.exec();
  }
  m_application.reset();
  return false;
}
