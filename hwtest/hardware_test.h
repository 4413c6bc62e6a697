#pragma once
// The modal "Hardware test" window: the spectrum of the synthetic test tone (hwtest/
// test_spectrum.h) drawn like the response plot, with the pointer readout, and a "SHORT - Motor
// off" button that does nothing. It talks to no device, starts no timers and leaves nothing
// behind: every opening analyses the tone afresh and shows the same picture.
//
// Use (the panel's "&Hardware test" button): CHardwareTest dialog(this); dialog.exec();

#include <QDialog>
#include <QPixmap>
#include <memory>

#include "eq/plot_state.h"
#include "hwtest/test_spectrum.h"

class QPushButton;
namespace eq {
class PictureControl;
}

class CHardwareTest : public QDialog {
  Q_OBJECT

 public:
  // Analyses the tone and draws the plot once; `parent` only owns the window.
  explicit CHardwareTest(QWidget* parent = nullptr);
  ~CHardwareTest() override;

  // Paints the whole plot off-screen and shows it in one piece.
  void RedrawPlot();

  const hwtest::TestSpectrum& Spectrum() const { return *m_spectrum; }
  const eq::PlotState<hwtest::TestSpectrum::kBinCount>& Plot() const { return *m_plot; }
  eq::PictureControl* PlotControl() const { return m_plotControl; }
  QPushButton* ShortButton() const { return m_shortButton; }

 protected:
  // The pointer readout, over all 2048 points, whether or not the plot is enabled.
  void mouseMoveEvent(QMouseEvent* event) override;

 private:
  // Held on the heap: together about 100 kB, too much for the caller's stack.
  std::unique_ptr<hwtest::TestSpectrum> m_spectrum;
  std::unique_ptr<eq::PlotState<hwtest::TestSpectrum::kBinCount>> m_plot;
  QPixmap m_plotPixmap;  // the plot control's client size
  eq::PictureControl* m_plotControl = nullptr;
  QPushButton* m_shortButton = nullptr;
};
