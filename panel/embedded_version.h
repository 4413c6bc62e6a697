#pragma once
// The version of the application image the tool carries, as "&Software Update" would install it.

#include <optional>

#include "panel/property_velmor.h"

namespace panel {

// Absent when the carried list has no application image for the VELMOR.
std::optional<EmbeddedVersion> EmbeddedApplicationVersion();

}  // namespace panel
