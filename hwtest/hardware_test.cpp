#include "hwtest/hardware_test.h"

#include <QMouseEvent>
#include <QPushButton>

#include "eq/picture_control.h"
#include "eq/plot_painter.h"
#include "hwtest/hardware_test_layout.h"
#include "panel/dialog_units.h"

using hwtest::ControlKind;
using hwtest::kHardwareTestControls;
using hwtest::kHardwareTestDialog;

CHardwareTest::CHardwareTest(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      m_spectrum(std::make_unique<hwtest::TestSpectrum>()),
      m_plot(std::make_unique<eq::PlotState<hwtest::TestSpectrum::kBinCount>>()) {
  const QFont dialogFont = DialogUnits::DialogFont(
      QString::fromLatin1(kHardwareTestDialog.fontFace), kHardwareTestDialog.fontPoints);
  setFont(dialogFont);
  const DialogUnits units(dialogFont);
  setWindowTitle(QString::fromLatin1(kHardwareTestDialog.caption));
  setFixedSize(units.X(kHardwareTestDialog.width), units.Y(kHardwareTestDialog.height));

  for (const hwtest::ControlTemplate& control : kHardwareTestControls) {
    const QRect place = units.ToPixels(control.x, control.y, control.width, control.height);
    QWidget* widget = nullptr;
    switch (control.kind) {
      case ControlKind::Picture:
        m_plotControl = new eq::PictureControl(this);
        m_plotControl->setAccessibleName(QStringLiteral("Spectrum plot"));
        widget = m_plotControl;
        break;
      case ControlKind::PushButton:
        // No action: the button is shown, and pressing it changes nothing.
        m_shortButton = new QPushButton(QString::fromLatin1(control.text), this);
        m_shortButton->setAutoDefault(false);
        widget = m_shortButton;
        break;
    }
    widget->setObjectName(QStringLiteral("control%1").arg(control.id));
    widget->setGeometry(place);
  }

  // The plot lets pointer moves through, so the dialog sees them over it.
  setMouseTracking(true);
  m_plotPixmap = eq::PictureFor(*m_plotControl);
  RedrawPlot();
}

CHardwareTest::~CHardwareTest() = default;

void CHardwareTest::RedrawPlot() {
  eq::PaintPlot(&m_plotPixmap, m_spectrum->Series(), *m_plot, false);
  m_plotControl->SetPicture(m_plotPixmap);
}

void CHardwareTest::mouseMoveEvent(QMouseEvent* event) {
  QDialog::mouseMoveEvent(event);
  const QPoint pixel = m_plotControl->MapToPicture(this, event->position().toPoint());
  if (eq::MovePointer(*m_plot, pixel.x(), pixel.y())) RedrawPlot();
}
