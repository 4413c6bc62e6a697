#pragma once
// The panel's icon, large and small: drawn here, so the tool carries no image files.

#include <QIcon>

namespace panel {

QIcon PanelIcon();

}  // namespace panel
