#pragma once
// An editable combo box whose field holds exactly what the user typed: no completion from the
// list, and no entry chosen by itself. QComboBox would otherwise complete "15" to "15.5 Volt",
// and on Return or on leaving the field select the entry matching the text and report it as
// activated, as if the user had picked it. Here only a pick from the list is activated, and
// Return goes nowhere (it neither chooses an entry nor reaches the dialog's buttons).

#include <QComboBox>

namespace panel {

class DropDown : public QComboBox {
  Q_OBJECT

 public:
  explicit DropDown(QWidget* parent = nullptr);

 protected:
  void keyPressEvent(QKeyEvent* event) override;
};

}  // namespace panel
