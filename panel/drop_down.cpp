#include "panel/drop_down.h"

#include <QKeyEvent>
#include <QLineEdit>

namespace panel {

DropDown::DropDown(QWidget* parent) : QComboBox(parent) {
  setEditable(true);
  setInsertPolicy(QComboBox::NoInsert);
  setCompleter(nullptr);
  // The combo's own handlers of these two signals look the text up in the list and select it.
  QObject::disconnect(lineEdit(), &QLineEdit::returnPressed, this, nullptr);
  QObject::disconnect(lineEdit(), &QLineEdit::editingFinished, this, nullptr);
}

void DropDown::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    event->accept();
    return;
  }
  QComboBox::keyPressEvent(event);
}

}  // namespace panel
