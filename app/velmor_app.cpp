#include "app/velmor_app.h"

#include "app/command_line.h"
#include "device/timing.h"
#include "panel/property_velmor.h"

bool CVelmorApp::InitInstance(int& argc, char** argv) {
  // Read before Qt takes its own options out of argv.
  const app::Modes modes = app::ModesFromTail(app::CommandLineTail(argc, argv));
  m_application = std::make_unique<QApplication>(argc, argv);

  SystemTiming timing;
  {
    CPropertyVELMOR panel(m_link, timing);
    panel.m_bService = modes.service ? 1 : 0;
    panel.m_bAdvanced = modes.advanced ? 1 : 0;
    panel.exec();
  }
  m_application.reset();
  return false;
}
