// Any text as an S-record file: never a read outside it, and what is accepted adds up.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "firmware/srecord_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  firmware::SRecordFile file;
  if (!file.Parse({reinterpret_cast<const char*>(data), size})) {
    if (file.FaultText("fuzz").empty()) std::abort();
    return 0;
  }
  std::uint64_t bytes = 0;
  std::size_t dataRecords = 0;
  for (const firmware::SRecord& record : file.Records()) {
    if (record.type == 4 || record.type > 9) std::abort();
    if (!record.IsData()) continue;
    ++dataRecords;
    const auto span = file.Data(record);
    bytes += span.size();
    // Touch every byte, so a span outside the kept bytes shows.
    volatile std::uint8_t sum = 0;
    for (std::uint8_t b : span) sum = static_cast<std::uint8_t>(sum + b);
  }
  if (bytes != file.DataBytes() || dataRecords != file.DataRecords()) std::abort();
  return 0;
}
