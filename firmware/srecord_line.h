#pragma once
// One Motorola S-record line, checked whole: type, byte count, address, data and checksum.

#include <array>
#include <cstdint>
#include <string_view>

namespace firmware {

enum class SRecordFault {
  kNone,
  kBadHexDigit,
  kCountDoesNotFitLine,
  kCountTooSmall,
  kBadChecksum,
  kUnsupportedType,  // S4
  kUnknownType,      // SA..SF
  kDataInCountOrEndRecord,
  kBeyondAddressSpace,
  kLineTooLong,
  kRecordCountMismatch,
  kFileTooLarge,
  kNoRecords,
  kReadError,
  kOutsideWindow,   // data outside the address window the reader was given
  kMoreThanWindow,  // more data in all than the window holds (records overlap)
};

// A few words for people, without the line number.
const char* SRecordFaultText(SRecordFault fault);

struct SRecordLine {
  static constexpr std::size_t kMaxData = 252;  // count 255 less a 2-byte address and the checksum

  unsigned type = 0;          // 0..9
  std::uint32_t address = 0;  // the address field; for S5 and S6 the record count
  std::uint8_t length = 0;    // data bytes
  std::array<std::uint8_t, kMaxData> data{};

  bool IsData() const { return type >= 1 && type <= 3; }
  bool IsCount() const { return type == 5 || type == 6; }
};

// Width of the address field of a record type, 0 for types without one.
unsigned SRecordAddressBytes(unsigned type);

// Parses a line that starts with 'S'. Trailing blanks and a carriage return are allowed; anything
// else beyond the byte count is a fault. Reads nothing outside `line`.
SRecordFault ParseSRecordLine(std::string_view line, SRecordLine& out);

}  // namespace firmware
