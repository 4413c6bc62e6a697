#pragma once
// The state folder's files and the size each must have, for the start-up check on both systems.

#include <cstddef>

#include "device/flash_trailer.h"
#include "settings/settings_image.h"
#include "sim/state_folder.h"

namespace sim {

struct StateFile {
  const char* name;
  std::size_t size;
};

inline constexpr StateFile kStateFiles[] = {
    {SimStateFolder::kSettingsFile, SettingsImage::kSize},
    {SimStateFolder::kApplicationFile, flash::kApplicationEnd - flash::kApplicationStart},
    {SimStateFolder::kBootFile, flash::kBootEnd - flash::kBootStart},
};

}  // namespace sim
