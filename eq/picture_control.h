#pragma once
// A static picture control: a 1-pixel border around a client area that shows the last picture
// handed to it, also whenever it repaints itself. Pointer events pass through to the parent
// (Qt::WA_TransparentForMouseEvents), which tracks the mouse and maps the pointer into picture
// coordinates with MapToPicture for the plot's pointer readout (eq::MovePointer).
//
// Use: make the plot pixmap with PictureFor, paint into it, then SetPicture(pixmap) to show it
// in one piece.

#include <QFrame>
#include <QPixmap>

namespace eq {

class PictureControl : public QFrame {
  Q_OBJECT

 public:
  explicit PictureControl(QWidget* parent = nullptr);

  // Shows `picture` with its top-left corner at the client area's top-left corner.
  void SetPicture(const QPixmap& picture);
  const QPixmap& Picture() const { return m_picture; }

  // The client area inside the border, in the control's own coordinates.
  QSize ClientSize() const { return contentsRect().size(); }
  // Maps a point given in the coordinates of `from`, an ancestor such as the dialog, into the
  // picture's pixel coordinates.
  QPoint MapToPicture(const QWidget* from, QPoint point) const;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QPixmap m_picture;
};

// A picture the size of `control`'s client area at the device pixel ratio of its screen.
QPixmap PictureFor(const PictureControl& control);

}  // namespace eq
