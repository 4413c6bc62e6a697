#include "eq/picture_control.h"

#include <QPainter>
#include <QtTest>

class PictureControlTest : public QObject {
  Q_OBJECT

 private slots:
  void showsItsPictureInsideAOnePixelBorder() {
    QWidget parent;
    parent.resize(300, 200);
    eq::PictureControl control(&parent);
    control.setGeometry(10, 20, 102, 52);
    QCOMPARE(control.ClientSize(), QSize(100, 50));

    QPixmap picture(control.ClientSize());
    picture.fill(QColor(0, 200, 0));
    {
      QPainter painter(&picture);
      painter.fillRect(0, 0, 1, 1, QColor(200, 0, 0));
    }
    control.SetPicture(picture);
    // Every repaint shows the picture again, also after the caller's pixmap has moved on.
    picture.fill(Qt::black);
    for (int repaint = 0; repaint < 2; ++repaint) {
      const QImage shown = control.grab().toImage();
      QCOMPARE(shown.pixel(1, 1), qRgb(200, 0, 0));
      QCOMPARE(shown.pixel(50, 25), qRgb(0, 200, 0));
      QCOMPARE(shown.pixel(100, 50), qRgb(0, 200, 0));
      for (const QPoint border : {QPoint(0, 0), QPoint(101, 51), QPoint(50, 0), QPoint(0, 25)}) {
        QVERIFY(shown.pixel(border) != qRgb(0, 200, 0));
      }
    }
  }

  void pointerEventsGoToTheParent() {
    QWidget parent;
    parent.resize(300, 200);
    eq::PictureControl control(&parent);
    control.setGeometry(10, 20, 102, 52);
    QVERIFY(control.testAttribute(Qt::WA_TransparentForMouseEvents));
    QCOMPARE(parent.childAt(50, 40), nullptr);
    // The parent's (11, 21) is the picture's first pixel, inside the border.
    QCOMPARE(control.MapToPicture(&parent, QPoint(11, 21)), QPoint(0, 0));
    QCOMPARE(control.MapToPicture(&parent, QPoint(60, 40)), QPoint(49, 19));
  }
};

QTEST_MAIN(PictureControlTest)
#include "picture_control_test.moc"
