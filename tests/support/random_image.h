#pragma once
// Settings images for round trips: every field within its range, everything the tool only
// carries (reserved bytes, carried bits, bytes after a name's end) random.

#include <random>

#include "settings/settings_image.h"

namespace testsupport {

SettingsImage RandomValidImage(std::mt19937& random);

}  // namespace testsupport
