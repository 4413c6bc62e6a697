// velmor-panel: the control panel of the VELMOR.

#include "app/velmor_app.h"
#include "device/device_link.h"

// The two objects that live as long as the process: the one device link, on this platform's
// channel, and the application object.
CDeviceLink theLink;
CVelmorApp theApp(theLink);

int main(int argc, char** argv) {
  theApp.InitInstance(argc, argv);
  return 0;
}
