#pragma once
// The panel's icon: the installed theme icon "velmor-control", else the same drawn here.

#include <QIcon>

namespace panel {

QIcon PanelIcon();

}  // namespace panel
