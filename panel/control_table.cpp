#include "panel/control_table.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>

#include "eq/picture_control.h"
#include "panel/drop_down.h"
#include "panel/scroll_slider.h"

namespace panel {

namespace {

using K = ControlKind;

// Mirrors the dialog resource: id, kind, text, x, y, width, height, style.
constexpr ControlRow kControls[] = {
    {IDC_SERIAL_CAPTION, K::Label, "SNR", 6, 7, 27, 8, kNoStyle},
    {IDC_SERIAL, K::Edit, "", 6, 17, 31, 13, kBorder},
    {IDC_DELIVERY_CAPTION, K::Label, "Delivery", 40, 7, 47, 8, kNoStyle},
    {IDC_DELIVERY, K::DatePicker, "", 40, 17, 132, 13, kNoStyle},
    {IDC_MOTOR_UNIT_CAPTION, K::Label, "Motor control unit", 174, 7, 57, 8, kNoStyle},
    {IDC_MOTOR_UNIT, K::List, "not installed\ninstalled", 174, 17, 59, 186, kNoStyle},
    {IDC_AUTOMUTE_CAPTION, K::Label, "AutoMute", 236, 7, 36, 8, kNoStyle},
    {IDC_AUTOMUTE, K::List, "off\non", 235, 17, 36, 186, kNoStyle},
    {IDC_DSP_STATUS, K::Label, "DSP not found!", 297, 6, 60, 12, kBorder | kCenter},
    {IDC_FPGA_STATUS, K::Label, "FPGA not loaded!", 297, 20, 60, 12, kBorder | kCenter},
    {IDC_EEPROM_STATUS, K::Label, "EEPROM not found!", 359, 6, 75, 12, kBorder | kCenter},
    {IDC_TRANSMITTER_STATUS, K::Label, "Transmitter not found!", 359, 20, 75, 12,
     kBorder | kCenter},
    {IDC_STATIC, K::GroupFrame, "", 2, 0, 436, 36, kNoStyle},
    {IDC_SETTINGS_FRAME, K::GroupFrame, "", 2, 37, 436, 72, kNoStyle},
    {IDC_GAIN_LABEL, K::Label, "Phono gain 10.0dB", 5, 42, 278, 13, kCenter},
    {IDC_GAIN, K::Slider, "", 5, 56, 293, 11, kNoStyle},
    {IDC_POLARITY_CAPTION, K::Label, "Polarity", 301, 45, 66, 8, kNoStyle},
    {IDC_POLARITY, K::List, "normal\ninverted", 301, 55, 66, 186, kNoStyle},
    {IDC_VOLTAGE_CAPTION, K::Label, "Motor voltage", 369, 45, 66, 8, kNoStyle},
    {IDC_MOTOR_VOLTAGE, K::DropDown, "6.0 Volt\n12.0 Volt\n15.5 Volt\n24.0 Volt", 369, 55, 66, 186,
     kNoStyle},
    {IDC_RATE_CAPTION, K::Label, "Digital output rate", 301, 70, 66, 8, kNoStyle},
    {IDC_OUTPUT_RATE, K::List, "48 kHz/24 bit\n96 kHz/24 bit\n192 kHz/24 bit", 301, 80, 66, 186,
     kNoStyle},
    {IDC_RAMP_CAPTION, K::Label, "Ramp up speed", 369, 70, 66, 8, kNoStyle},
    {IDC_RAMP_SPEED, K::List,
     "Slowest (0.5x)\nSlow (0.67x)\nNormal\nFast (1.5x)\nFaster (2.0x)\nFastest (4.0x)\nNo Ramping",
     369, 80, 66, 186, kNoStyle},
    {IDC_SPEED33, K::CheckBox, "33: corr. by -50.0%", 5, 70, 95, 10, kNoStyle},
    {IDC_LOCK33, K::CheckBox, "", 5, 82, 11, 8, kNoStyle},
    {IDC_ABS33, K::Slider, "", 20, 81, 80, 11, kNoStyle},
    {IDC_REL33, K::Slider, "", 20, 93, 80, 11, kNoStyle},
    {IDC_SPEED45, K::CheckBox, "45 turns: -50.0%", 104, 70, 95, 10, kNoStyle},
    {IDC_LOCK45, K::CheckBox, "", 104, 82, 11, 8, kNoStyle},
    {IDC_ABS45, K::Slider, "", 119, 81, 80, 11, kNoStyle},
    {IDC_REL45, K::Slider, "", 119, 93, 80, 11, kNoStyle},
    {IDC_SPEED78, K::CheckBox, "78 turns: -50.0%", 203, 70, 95, 10, kNoStyle},
    {IDC_LOCK78, K::CheckBox, "", 203, 82, 11, 8, kNoStyle},
    {IDC_ABS78, K::Slider, "", 218, 81, 80, 11, kNoStyle},
    {IDC_REL78, K::Slider, "", 218, 93, 80, 11, kNoStyle},
    {IDC_PLOT, K::Picture, "", 2, 110, 333, 174, kBorder},
    {IDC_EQ_CAPTION, K::Label, "Type of equalization", 340, 109, 79, 8, kNoStyle},
    {IDC_EQ_TYPE, K::DropDown, "", 340, 118, 98, 186, kNoStyle},
    {IDC_T1_HEADING, K::Label, "bass (t1:lowpass)", 340, 134, 98, 8, kCenter},
    {IDC_T1_LINE, K::EtchedLine, "", 340, 143, 98, 1, kNoStyle},
    {IDC_T1_LABEL, K::Label, "t1: Lower bass", 340, 144, 79, 8, kNoStyle},
    {IDC_T1, K::Slider, "", 340, 154, 98, 11, kNoStyle},
    {IDC_T2_HEADING, K::Label, "mid range (t2:lowpass)", 340, 168, 98, 8, kCenter},
    {IDC_T2_LINE, K::EtchedLine, "", 340, 177, 98, 1, kNoStyle},
    {IDC_T2_LABEL, K::Label, "t2: Bass", 340, 178, 79, 8, kNoStyle},
    {IDC_T2, K::Slider, "", 340, 188, 98, 11, kNoStyle},
    {IDC_T3_HEADING, K::Label, "High level (t3:lowpass)", 340, 202, 98, 8, kCenter},
    {IDC_T3_LINE, K::EtchedLine, "", 340, 211, 98, 1, kNoStyle},
    {IDC_T3_LABEL, K::Label, "t3: Treble", 340, 212, 79, 8, kNoStyle},
    {IDC_T3, K::Slider, "", 340, 222, 98, 11, kNoStyle},
    {IDC_T4_HEADING, K::Label, "lower bass (t4:highpass)", 340, 236, 98, 8, kCenter},
    {IDC_T4_LINE, K::EtchedLine, "", 340, 245, 98, 1, kNoStyle},
    {IDC_T4_LABEL, K::Label, "t4: High treble", 340, 246, 79, 8, kNoStyle},
    {IDC_T4, K::Slider, "", 340, 256, 98, 11, kNoStyle},
    {IDC_AUTOSCALE, K::CheckBox, "Autoscale (dB)", 340, 274, 62, 10, kNoStyle},
    {IDC_PROGRESS, K::ProgressBar, "", 2, 288, 436, 8, kBorder | kHidden},
    {IDC_APP_VERSION, K::Label, "Softwareversion", 3, 296, 214, 8, kNoStyle},
    {IDC_BOOT_VERSION, K::Label, "Boot-Version", 224, 296, 214, 8, kRight},
    {IDC_STATIC, K::EtchedLine, "", 2, 305, 436, 1, kNoStyle},
    {IDC_SOFTWARE_UPDATE, K::PushButton, "&Software Update", 2, 311, 64, 19, kNoStyle},
    {IDC_HARDWARE_TEST, K::PushButton, "&Hardware test", 156, 311, 64, 19, kNoStyle},
    {IDC_DEFAULT_SETTINGS, K::PushButton, "&Default settings", 224, 311, 64, 19, kNoStyle},
    {IDC_READ_SETTINGS, K::PushButton, "&Read Settings", 292, 311, 64, 19, kNoStyle},
    {IDC_WRITE_SETTINGS, K::PushButton, "&Write settings", 360, 311, 78, 19, kNoStyle},
};

// Captions and the controls they name, so that a screen reader reads the caption as the
// control's name (as its label on Linux, as its name elsewhere).
struct Caption {
  int label;
  int control;
};
constexpr Caption kCaptions[] = {
    {IDC_SERIAL_CAPTION, IDC_SERIAL},
    {IDC_DELIVERY_CAPTION, IDC_DELIVERY},
    {IDC_MOTOR_UNIT_CAPTION, IDC_MOTOR_UNIT},
    {IDC_AUTOMUTE_CAPTION, IDC_AUTOMUTE},
    {IDC_POLARITY_CAPTION, IDC_POLARITY},
    {IDC_VOLTAGE_CAPTION, IDC_MOTOR_VOLTAGE},
    {IDC_RATE_CAPTION, IDC_OUTPUT_RATE},
    {IDC_RAMP_CAPTION, IDC_RAMP_SPEED},
    {IDC_EQ_CAPTION, IDC_EQ_TYPE},
};

// Names of the controls with neither a caption nor a text of their own.
struct AccessibleName {
  int id;
  const char* name;
};
constexpr AccessibleName kAccessibleNames[] = {
    {IDC_GAIN, "Phono gain"},
    {IDC_LOCK33, "Unlock absolute correction 33"},
    {IDC_ABS33, "Absolute correction 33"},
    {IDC_REL33, "Relative correction 33"},
    {IDC_LOCK45, "Unlock absolute correction 45"},
    {IDC_ABS45, "Absolute correction 45"},
    {IDC_REL45, "Relative correction 45"},
    {IDC_LOCK78, "Unlock absolute correction 78"},
    {IDC_ABS78, "Absolute correction 78"},
    {IDC_REL78, "Relative correction 78"},
    {IDC_PLOT, "Response plot"},
    {IDC_T1, "t1"},
    {IDC_T2, "t2"},
    {IDC_T3, "t3"},
    {IDC_T4, "t4"},
    {IDC_PROGRESS, "Update progress"},
};

// A combo's height in the resource is its open list; the closed box is one line high.
constexpr int kComboLineHeight = 12;

// Frames and etched lines only draw: the mouse goes through them to the controls they frame,
// which a frame made after its controls would otherwise cover.
QWidget* Decoration(QWidget* widget) {
  widget->setAttribute(Qt::WA_TransparentForMouseEvents);
  return widget;
}

QWidget* Create(const ControlRow& row, QWidget* parent) {
  const QString text = QString::fromUtf8(row.text);
  switch (row.kind) {
    case K::Label: {
      auto* label = new QLabel(text, parent);
      Qt::Alignment align = Qt::AlignLeft;
      if (row.style & kCenter) align = Qt::AlignHCenter;
      if (row.style & kRight) align = Qt::AlignRight;
      label->setAlignment(align | Qt::AlignTop);
      if (row.style & kBorder) {
        label->setFrameStyle(QFrame::Box | QFrame::Plain);
        label->setAlignment(align | Qt::AlignVCenter);
      }
      return label;
    }
    case K::Edit:
      return new QLineEdit(parent);
    case K::DatePicker:
      return new QDateEdit(parent);
    case K::List:
    case K::DropDown: {
      QComboBox* combo = row.kind == K::DropDown ? new DropDown(parent) : new QComboBox(parent);
      if (!text.isEmpty()) combo->addItems(text.split(QLatin1Char('\n')));
      return combo;
    }
    case K::Slider: {
      auto* bar = new ScrollSlider(parent);
      bar->setRange(0, 0);
      return bar;
    }
    case K::CheckBox:
      return new QCheckBox(text, parent);
    case K::PushButton:
      return new QPushButton(text, parent);
    case K::GroupFrame:
      return Decoration(new QGroupBox(parent));
    case K::Picture:
      return new eq::PictureControl(parent);
    case K::EtchedLine: {
      auto* line = new QFrame(parent);
      line->setFrameStyle(QFrame::HLine | QFrame::Sunken);
      return Decoration(line);
    }
    case K::ProgressBar: {
      auto* bar = new QProgressBar(parent);
      bar->setRange(0, 100);
      bar->setTextVisible(false);
      return bar;
    }
  }
  return nullptr;
}

}  // namespace

std::span<const ControlRow> ControlTable() {
  return kControls;
}

QHash<int, QWidget*> BuildControls(QWidget* parent, const DialogUnits& units) {
  QHash<int, QWidget*> controls;
  for (const ControlRow& row : kControls) {
    QWidget* widget = Create(row, parent);
    const bool combo = row.kind == K::List || row.kind == K::DropDown;
    QRect place = units.ToPixels(row.x, row.y, row.w, combo ? kComboLineHeight : row.h);
    // An etched line of one unit still needs room for its two pixel rows.
    if (row.kind == K::EtchedLine) place.setHeight(std::max(place.height(), 2));
    widget->setGeometry(place);
    if (row.style & kHidden) widget->hide();
    if (row.kind == K::GroupFrame || row.kind == K::EtchedLine) widget->lower();
    if (row.id != IDC_STATIC) {
      widget->setObjectName(QStringLiteral("IDC_%1").arg(row.id));
      controls.insert(row.id, widget);
    }
    for (const AccessibleName& named : kAccessibleNames) {
      if (named.id == row.id) widget->setAccessibleName(QString::fromLatin1(named.name));
    }
  }
  for (const Caption& caption : kCaptions) {
    auto* label = qobject_cast<QLabel*>(controls.value(caption.label));
    QWidget* control = controls.value(caption.control);
    label->setBuddy(control);
    control->setAccessibleName(label->text());
  }
  return controls;
}

}  // namespace panel
