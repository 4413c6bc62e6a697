#include "cli/settings_io.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>
#include <vector>

#include "cli/input_file.h"
#include "device/device_operations.h"
#include "settings/settings_transfer.h"

namespace cli {

std::size_t MovedBytes(std::uint16_t length) {
  return std::min<std::size_t>(length, SettingsImage::kSize);
}

std::uint16_t DeviceImageLength(CliContext& context) {
  context.RequirePresent();
  DeviceIdentity identity;
  if (!device::ReadIdentity(context.Link(), identity)) {
    throw Failure(kExitDevice, "the device did not answer the identity request");
  }
  return identity.ImageLength();
}

std::uint16_t ReadDeviceImage(CliContext& context, SettingsImage& image) {
  const std::uint16_t length = DeviceImageLength(context);
  SystemTiming timing;
  settings::SettingsTransfer transfer(context.Link(), timing, image);
  if (!transfer.ReadImage(length)) throw Failure(kExitDevice, "reading the settings failed");
  return length;
}

void WriteDeviceImage(CliContext& context, const SettingsImage& image, std::uint16_t length) {
  if (length == 0) throw Failure(kExitDevice, "the device declares no settings image");
  SettingsImage sent = image;
  SystemTiming timing;
  settings::SettingsTransfer transfer(context.Link(), timing, sent);
  if (!transfer.WriteImage(length)) throw Failure(kExitDevice, "writing the settings failed");
  SettingsImage check;
  try {
    ReadDeviceImage(context, check);
  } catch (const Failure& readBack) {
    // The commit went through: saying the write failed would send the user to write again.
    throw Failure(kExitDevice, std::string("the settings were written and committed, but ") +
                                   readBack.what() +
                                   " afterwards; the device may hold the change: see it with "
                                   "`velmorctl settings get KEY...` or `velmorctl settings show`");
  }
  const std::size_t n = MovedBytes(length);
  if (!std::equal(image.Bytes().begin(), image.Bytes().begin() + n, check.Bytes().begin())) {
    throw Failure(kExitDevice, "the device holds other bytes than were written");
  }
}

std::string ReadInput(const std::string& path, std::uint64_t maxBytes, const char* what) {
  if (path != "-") {
    const std::vector<char> bytes = InputFile(path, maxBytes, what).ReadAll();
    return std::string(bytes.begin(), bytes.end());
  }
  // Standard input has no size to look at first: read one byte beyond the limit to tell.
  std::string text;
  char buffer[4096];
  while (std::cin.read(buffer, sizeof buffer) || std::cin.gcount() > 0) {
    text.append(buffer, static_cast<std::size_t>(std::cin.gcount()));
    if (text.size() > maxBytes)
      throw Failure(kExitUsage, std::string("standard input holds more than ") + what + " can");
  }
  return text;
}

void WriteOutput(const std::string& path, const std::string& bytes) {
  if (path == "-") {
    if (std::fwrite(bytes.data(), 1, bytes.size(), stdout) != bytes.size() ||
        std::fflush(stdout) != 0)
      throw Failure(kExitUsage, "cannot write to standard output");
    return;
  }
  const std::string temporary = path + ".tmp";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out.flush()) {
      std::remove(temporary.c_str());
      throw Failure(kExitUsage, "cannot write " + temporary);
    }
  }
  if (std::rename(temporary.c_str(), path.c_str()) != 0) {
    std::remove(temporary.c_str());
    throw Failure(kExitUsage, "cannot write " + path);
  }
}

}  // namespace cli
