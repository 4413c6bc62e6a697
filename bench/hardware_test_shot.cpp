// Developer tool for the pictures in docs/: opens the hardware test window, puts the readout on
// the tone's peak and saves a screenshot of the window. Run it under a display, e.g.
//   xvfb-run -s "-screen 0 1024x768x24" build/bench/velmor_hardware_test_shot out.png

#include <QApplication>
#include <QMouseEvent>
#include <QScreen>
#include <QTimer>
#include <cstdio>

#include "eq/picture_control.h"
#include "hwtest/hardware_test.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s OUT.png\n", argv[0]);
    return 2;
  }
  const QString path = QString::fromLocal8Bit(argv[1]);
  CHardwareTest dialog;
  dialog.move(0, 0);
  dialog.show();
  int result = 1;
  QTimer::singleShot(500, &dialog, [&] {
    // The first point of a column that shows the peak bin, as the pointer would find it.
    const auto& points = dialog.Plot().points;
    std::size_t peak = 1;
    while (!(dialog.Spectrum().BinIndex()[peak] == 85 && points[peak - 1].x != points[peak].x)) {
      ++peak;
    }
    const QPoint at = dialog.PlotControl()->geometry().topLeft() + QPoint(1, 1) +
                      QPoint(points[peak].x, points[peak].y + 40);
    QMouseEvent move(QEvent::MouseMove, QPointF(at), QPointF(dialog.mapToGlobal(at)), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(&dialog, &move);
    QTimer::singleShot(300, &dialog, [&] {
      const QPixmap shot = dialog.screen()->grabWindow(dialog.winId());
      result = shot.save(path, "PNG") ? 0 : 1;
      dialog.reject();
    });
  });
  dialog.exec();
  return result;
}
