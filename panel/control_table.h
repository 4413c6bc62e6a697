#pragma once
// The main panel's controls, one row per control of its dialog resource, and the code that
// builds the widgets from the rows.

#include <QHash>
#include <QWidget>
#include <span>

#include "panel/control_ids.h"
#include "panel/dialog_units.h"

enum class ControlKind {
  Label,        // QLabel
  Edit,         // QLineEdit
  DatePicker,   // QDateEdit
  List,         // QComboBox, not editable
  DropDown,     // QComboBox with an editable field
  Slider,       // horizontal QScrollBar
  CheckBox,     // QCheckBox
  PushButton,   // QPushButton
  GroupFrame,   // QGroupBox without a title
  Picture,      // eq::PictureControl: shows a pixmap, passes the pointer to the panel
  EtchedLine,   // sunken horizontal QFrame
  ProgressBar,  // QProgressBar 0..100, text hidden
};

// Style bits of a row.
enum ControlStyle : unsigned {
  kNoStyle = 0,
  kBorder = 1u << 0,
  kCenter = 1u << 1,
  kRight = 1u << 2,
  kHidden = 1u << 3,
};

struct ControlRow {
  int id;  // ControlId, or IDC_STATIC
  ControlKind kind;
  const char* text;  // caption; for lists the entries, separated by '\n'
  int x, y, w, h;    // dialog units
  unsigned style;    // ControlStyle bits
};

namespace panel {

// The panel's size in dialog units.
inline constexpr int kPanelWidth = 440;
inline constexpr int kPanelHeight = 335;

std::span<const ControlRow> ControlTable();

// Builds every row as a child of `parent`, placed by `units`; returns the widgets by id
// (controls with IDC_STATIC are built but not returned).
QHash<int, QWidget*> BuildControls(QWidget* parent, const DialogUnits& units);

}  // namespace panel
