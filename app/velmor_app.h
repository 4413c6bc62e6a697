#pragma once
// The application object: prepares Qt, reads the modes from the command line and runs the
// control panel as a modal dialog until the user closes it. There is no message loop besides
// the panel's.

#include <QApplication>
#include <memory>

#include "device/device_link.h"

class CVelmorApp {
 public:
  explicit CVelmorApp(CDeviceLink& link) : m_link(link) {}

  // Start-up. Returns false: the process ends once the panel has closed.
  bool InitInstance(int& argc, char** argv);

 private:
  CDeviceLink& m_link;
  std::unique_ptr<QApplication> m_application;
};
