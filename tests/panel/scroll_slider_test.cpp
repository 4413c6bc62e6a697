// The panel's slider as each style paints it: a track to see, and a frame where the focus is.

#include <QApplication>
#include <QImage>
#include <QStyle>
#include <QStyleFactory>
#include <QStyleOptionSlider>
#include <QTest>
#include <QVBoxLayout>
#include <memory>

#include "panel/scroll_slider.h"

namespace {

// How far apart two colours are, summed over the channels.
int Distance(QColor a, QColor b) {
  return std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) +
         std::abs(a.blue() - b.blue());
}

struct SliderWindow {
  explicit SliderWindow(const QString& styleName) : style(QStyleFactory::create(styleName)) {
    window.setStyle(style.get());
    // The style's own colours, but with a light edge as bright as the face, as Wine's desktop
    // gives them: the Windows style's track is a pattern of those two.
    QPalette palette = style->standardPalette();
    palette.setColor(QPalette::Light, palette.color(QPalette::Window));
    window.setPalette(palette);
    auto* layout = new QVBoxLayout(&window);
    for (panel::ScrollSlider*& slider : sliders) {
      slider = new panel::ScrollSlider(&window);
      slider->setStyle(style.get());
      slider->setRange(-120, 120);
      slider->setPageStep(10);
      slider->setFixedSize(160, 18);
      layout->addWidget(slider);
    }
    window.show();
  }
  std::unique_ptr<QStyle> style;
  QWidget window;
  panel::ScrollSlider* sliders[2] = {};
};

}  // namespace

class ScrollSliderTest : public QObject {
  Q_OBJECT

 private slots:
  void focusAndTrackShowInEveryStyle_data() {
    QTest::addColumn<QString>("style");
    for (const QString& name : QStyleFactory::keys()) QTest::newRow(qPrintable(name)) << name;
  }
  void focusAndTrackShowInEveryStyle() {
    QFETCH(QString, style);
    SliderWindow rig(style);
    rig.window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&rig.window));
    // Tab reaches the first slider, as it reaches the gain slider on the panel.
    rig.sliders[1]->setFocus(Qt::OtherFocusReason);
    QTest::keyClick(rig.sliders[1], Qt::Key_Tab);
    QVERIFY(rig.sliders[0]->hasFocus());

    const QImage focused = rig.sliders[0]->grab().toImage();
    const QImage plain = rig.sliders[1]->grab().toImage();
    QVERIFY2(focused != plain, "the focused slider looks like the other one");

    // Right of the thumb, up to the arrow, lies the track.
    QStyleOptionSlider option;
    option.initFrom(rig.sliders[1]);
    option.orientation = Qt::Horizontal;
    option.minimum = -120;
    option.maximum = 120;
    option.pageStep = 10;
    const QRect page = rig.style->subControlRect(QStyle::CC_ScrollBar, &option,
                                                 QStyle::SC_ScrollBarAddPage, rig.sliders[1]);
    QVERIFY(!page.isEmpty());
    const QColor window = rig.window.palette().color(QPalette::Window);
    int trackPixels = 0;
    for (int x = page.left(); x <= page.right(); ++x) {
      trackPixels += Distance(plain.pixelColor(x, plain.height() / 2), window) >= 20;
    }
    QVERIFY2(trackPixels > page.width() / 2, "the track looks like the window behind it");
  }
};

QTEST_MAIN(ScrollSliderTest)
#include "scroll_slider_test.moc"
