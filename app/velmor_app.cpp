#include "app/velmor_app.h"

#include <QProxyStyle>

#include "app/application_identity.h"
#include "app/command_line.h"
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

  SystemTiming timing;
  {
    CPropertyVELMOR panel(m_link, timing, DesktopServices());
    panel.m_bService = modes.service ? 1 : 0;
    panel.m_bAdvanced = modes.advanced ? 1 : 0;
    panel.exec();
  }
  m_application.reset();
  return false;
}
