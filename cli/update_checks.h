#pragma once
// What velmorctl checks before an update sends its first command: the file and the region it
// is for, and whether the carried list holds an image for that region.

#include <string>

#include "firmware/srecord_file.h"
#include "firmware/tarn_packet.h"

namespace cli {

struct UpdateOptions {
  std::string file;  // S-record file; empty: the carried image
  bool boot = false;
  bool force = false;  // flash even when the device already runs the carried version
  bool json = false;   // one JSON object per status line, one for the result
};

// Reads and checks an S-record file ("-" for standard input) as the update of the region would;
// for the application region every data byte must lie inside it (the boot region is the
// device's business). Throws Failure(kExitUsage) with one line naming what is wrong and where.
void LoadFirmwareFile(firmware::SRecordFile& file, const std::string& path, bool boot);

// The carried image for the region, or Failure(kExitUsage) when the list holds none.
const TarnPacket& CarriedImage(bool boot);

// The command that brings the device's application back after an update like this one ended
// early: the same update again.
std::string RecoveryCommand(const UpdateOptions& options);

}  // namespace cli
