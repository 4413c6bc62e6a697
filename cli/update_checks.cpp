#include "cli/update_checks.h"

#include <cstdio>
#include <optional>

#include "cli/cli_context.h"
#include "cli/input_file.h"
#include "device/flash_trailer.h"
#include "firmware/tarn_list.h"
#include "firmware/update_texts.h"

namespace cli {

namespace {

std::string Hex(std::uint64_t value) {
  char text[24];
  std::snprintf(text, sizeof text, "0x%08llX", static_cast<unsigned long long>(value));
  return text;
}

std::string ApplicationRegionText() {
  return Hex(flash::kApplicationStart) + "-" + Hex(flash::kApplicationEnd - 1);
}

}  // namespace

void LoadFirmwareFile(firmware::SRecordFile& file, const std::string& given, bool boot) {
  // "-" is standard input; its size is unknown, so only the reader's own limits hold it.
  std::optional<InputFile> input;
  std::FILE* stream = stdin;
  if (given != "-") {
    input.emplace(given, firmware::SRecordFile::kMaxFileBytes, "an S-record file");
    stream = input->Stream();
  }
  const std::string path = given == "-" ? "standard input" : given;
  if (!boot) file.SetWindow(flash::kApplicationStart, flash::kApplicationEnd);
  if (file.ReadStream(stream) == firmware::SRecordFile::Load::kOk) return;
  if (file.Fault() == firmware::SRecordFault::kOutsideWindow) {
    throw Failure(kExitUsage, "data at " + Hex(file.FaultAddress()) + " in line " +
                                  std::to_string(file.FaultLine()) + " of " + path +
                                  " lies outside the application region " +
                                  ApplicationRegionText());
  }
  if (file.Fault() == firmware::SRecordFault::kMoreThanWindow) {
    throw Failure(kExitUsage, path + " holds more data than the application region " +
                                  ApplicationRegionText() + " (line " +
                                  std::to_string(file.FaultLine()) + ")");
  }
  throw Failure(kExitUsage, file.FaultText(path));
}

const TarnPacket& CarriedImage(bool boot) {
  CTarnList list;
  list.Attach(GetTarnBase());
  const TarnPacket* packet =
      list.Find(TARN_KIND_IMAGE, TARN_TARGET_VELMOR,
                static_cast<std::uint16_t>(boot ? TARN_REGION_BOOT : TARN_REGION_APPLICATION));
  if (packet == nullptr) {
    throw Failure(kExitUsage, std::string(firmware::kTextSoftwareNotFound) +
                                  (boot ? " (no boot image is carried; --boot needs --file)"
                                        : " (no application image is carried)"));
  }
  return *packet;
}

std::string RecoveryCommand(const UpdateOptions& options) {
  std::string command = "velmorctl update";
  if (options.boot) command += " --boot";
  if (!options.file.empty()) command += " --file " + options.file;
  return command;
}

}  // namespace cli
