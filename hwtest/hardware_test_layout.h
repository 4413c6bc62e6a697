#pragma once
// The hardware test window's layout in dialog units, one row per control as the dialog
// resource has it; CHardwareTest builds its widgets from it.

#include <array>

namespace hwtest {

enum HardwareTestId : int {
  IDD_HARDWARE_TEST = 136,
  IDC_TEST_PLOT = 1018,        // the spectrum plot
  IDC_SHORT_MOTOR_OFF = 1076,  // "SHORT - Motor off", no action bound
};

enum class ControlKind { Picture, PushButton };

struct ControlTemplate {
  HardwareTestId id;
  ControlKind kind;
  const char* text;         // nullptr for none
  int x, y, width, height;  // dialog units
};

struct DialogTemplate {
  HardwareTestId id;
  const char* caption;
  int width, height;  // dialog units, fixed
  const char* fontFace;
  int fontPoints;
};

inline constexpr DialogTemplate kHardwareTestDialog{
    IDD_HARDWARE_TEST, "Hardware test", 446, 336, "MS Shell Dlg", 8};

// The plot is a bordered picture control with its image centred; its bitmap fills the client
// area, so centring changes nothing.
inline constexpr std::array<ControlTemplate, 2> kHardwareTestControls{{
    {IDC_TEST_PLOT, ControlKind::Picture, nullptr, 0, 48, 446, 288},
    {IDC_SHORT_MOTOR_OFF, ControlKind::PushButton, "SHORT - Motor off", 7, 7, 71, 14},
}};

}  // namespace hwtest
