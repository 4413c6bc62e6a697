#pragma once
// Settings between velmorctl and the device or a file, shared by the settings commands.

#include <cstdint>
#include <string>

#include "cli/cli_context.h"
#include "settings/settings_image.h"

namespace cli {

// Bytes of the image that move: the device's declared length, at most the 256 of the buffer.
std::size_t MovedBytes(std::uint16_t length);

// The device's declared image length, from a fresh identity read.
std::uint16_t DeviceImageLength(CliContext& context);

// Reads the whole image without sending anything that changes the device; returns its declared
// length. Fails on a partial read.
std::uint16_t ReadDeviceImage(CliContext& context, SettingsImage& image);

// Writes the first MovedBytes(length) bytes with the commit, reads them back and fails unless
// the device holds exactly them.
void WriteDeviceImage(CliContext& context, const SettingsImage& image, std::uint16_t length);

// A whole regular file, or standard input for "-", of at most `maxBytes`; anything else, or
// more, is refused with one line naming `what` the file should be ("a settings image").
std::string ReadInput(const std::string& path, std::uint64_t maxBytes, const char* what);
// Replaces a file through a temporary one so a failure leaves the old file, or writes to
// standard output for "-".
void WriteOutput(const std::string& path, const std::string& bytes);

}  // namespace cli
