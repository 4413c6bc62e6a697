// The panel's equalization controls: the curve list with its editable name, the four
// time-constant sliders and labels, and the response plot.

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QScrollBar>
#include <algorithm>

#include "eq/picture_control.h"
#include "eq/plot_painter.h"
#include "panel/field_text.h"
#include "panel/property_velmor.h"

namespace {

constexpr int kSliders[] = {IDC_T1, IDC_T2, IDC_T3, IDC_T4};
constexpr int kLabels[] = {IDC_T1_LABEL, IDC_T2_LABEL, IDC_T3_LABEL, IDC_T4_LABEL};

}  // namespace

void CPropertyVELMOR::SelectCurve(int index) {
  if (index < 0 || index >= static_cast<int>(SettingsImage::kCurveCount)) return;
  m_selectedCurve = index;
  ControlAs<QComboBox>(IDC_EQ_TYPE)->setCurrentIndex(index);
  m_currentCurve = m_image.Curve(static_cast<std::size_t>(index));
  ShowCurve();
}

void CPropertyVELMOR::ListCurveNames() {
  auto* eqType = ControlAs<QComboBox>(IDC_EQ_TYPE);
  eqType->clear();
  for (std::size_t slot = 0; slot < SettingsImage::kCurveCount; ++slot) {
    eqType->addItem(QString::fromLatin1(m_image.Curve(slot).Name()));
  }
}

void CPropertyVELMOR::ShowCurve() {
  for (int i = 0; i < 4; ++i) {
    // A value beyond the slider's reach leaves it at its end; the curve keeps the value.
    SetPosition(kSliders[i], m_currentCurve.T(i));
    m_curveLabels[i] = panel::TimeConstantText(m_currentCurve.T(i));
    // The text only: whether the labels show is the settings area's affair.
    ControlAs<QLabel>(kLabels[i])->setText(m_curveLabels[i]);
  }
  const EqCurve& c = m_currentCurve;
  m_response.SetTimeConstants(c.T(0), c.T(1), c.T(2), c.T(3));
  RedrawPlot();
}

void CPropertyVELMOR::RedrawPlot() {
  if (m_plotBitmap.isNull()) return;  // before initialisation
  eq::Paint(&m_plotBitmap, m_response, ControlAs<QCheckBox>(IDC_AUTOSCALE)->isChecked());
  ControlAs<eq::PictureControl>(IDC_PLOT)->SetPicture(m_plotBitmap);
}

void CPropertyVELMOR::mouseMoveEvent(QMouseEvent* event) {
  auto* plot = ControlAs<eq::PictureControl>(IDC_PLOT);
  // A disabled plot keeps its readout.
  if (plot->isEnabled()) {
    const QPoint at = plot->MapToPicture(this, event->position().toPoint());
    if (eq::MovePointer(m_response.plot, at.x(), at.y())) RedrawPlot();
  }
  QDialog::mouseMoveEvent(event);
}

void CPropertyVELMOR::OnCurveChosen(int index) {
  if (index < 0 || index >= static_cast<int>(SettingsImage::kCurveCount)) return;
  // Slider and name edits stay in the slot that was selected until now.
  m_image.SetCurve(static_cast<std::size_t>(m_selectedCurve), m_currentCurve);
  SelectCurve(index);
  const EqCurve& c = m_currentCurve;
  m_link.SetEqualization(c.CurveMode(), c.T(0), c.T(1), c.T(2), c.T(3), true);
}

void CPropertyVELMOR::OnCurveNameEdited(const QString& text) {
  const QString name = text.left(int{EqCurve::kMaxNameLength});
  m_currentCurve.SetName(name.toLatin1().toStdString());
  auto* combo = ControlAs<QComboBox>(IDC_EQ_TYPE);
  // Renaming the current entry rewrites the field; keep the user's cursor where it was.
  const int cursor = combo->lineEdit()->cursorPosition();
  combo->setItemText(m_selectedCurve, name);
  combo->lineEdit()->setCursorPosition(std::min<int>(cursor, int(name.size())));
}

void CPropertyVELMOR::OnTimeConstantScroll(int which, int position) {
  m_currentCurve.SetT(which, static_cast<std::uint16_t>(position));
  const EqCurve& c = m_currentCurve;
  m_link.SetEqualization(c.CurveMode(), c.T(0), c.T(1), c.T(2), c.T(3), false);
  ShowCurve();
}
