#include "firmware/srecord_line.h"

namespace firmware {

namespace {

// Digit values by character, -1 for anything that is no hex digit.
constexpr std::array<signed char, 256> kHexValues = [] {
  std::array<signed char, 256> table{};
  table.fill(-1);
  for (int c = '0'; c <= '9'; ++c) table[c] = static_cast<signed char>(c - '0');
  for (int c = 'A'; c <= 'F'; ++c) table[c] = static_cast<signed char>(c - 'A' + 10);
  for (int c = 'a'; c <= 'f'; ++c) table[c] = static_cast<signed char>(c - 'a' + 10);
  return table;
}();

int HexValue(char c) {
  return kHexValues[static_cast<unsigned char>(c)];
}

// The byte at hex pair `i`; the caller has checked every digit.
std::uint8_t PairAt(std::string_view hex, std::size_t i) {
  return static_cast<std::uint8_t>(HexValue(hex[2 * i]) << 4 | HexValue(hex[2 * i + 1]));
}

}  // namespace

const char* SRecordFaultText(SRecordFault fault) {
  switch (fault) {
    case SRecordFault::kNone:
      return "no fault";
    case SRecordFault::kBadHexDigit:
      return "bad hex digit";
    case SRecordFault::kCountDoesNotFitLine:
      return "byte count does not fit the line";
    case SRecordFault::kCountTooSmall:
      return "byte count too small for the record type";
    case SRecordFault::kBadChecksum:
      return "wrong checksum";
    case SRecordFault::kUnsupportedType:
      return "S4 records are not supported";
    case SRecordFault::kUnknownType:
      return "unknown record type";
    case SRecordFault::kDataInCountOrEndRecord:
      return "count or end record carries data";
    case SRecordFault::kBeyondAddressSpace:
      return "data runs past address 0xFFFFFFFF";
    case SRecordFault::kLineTooLong:
      return "line too long";
    case SRecordFault::kRecordCountMismatch:
      return "record count does not match the data records";
    case SRecordFault::kFileTooLarge:
      return "file too large";
    case SRecordFault::kNoRecords:
      return "no S-records in the file";
    case SRecordFault::kReadError:
      return "read error";
    case SRecordFault::kOutsideWindow:
      return "data outside the region";
    case SRecordFault::kMoreThanWindow:
      return "more data than the region holds";
  }
  return "fault";
}

unsigned SRecordAddressBytes(unsigned type) {
  switch (type) {
    case 0:
    case 1:
    case 5:
    case 9:
      return 2;
    case 2:
    case 6:
    case 8:
      return 3;
    case 3:
    case 7:
      return 4;
    default:
      return 0;
  }
}

SRecordFault ParseSRecordLine(std::string_view line, SRecordLine& out) {
  while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t')) {
    line.remove_suffix(1);
  }
  if (line.size() < 2 || line[0] != 'S') return SRecordFault::kCountDoesNotFitLine;
  const int type = HexValue(line[1]);
  if (type < 0) return SRecordFault::kBadHexDigit;
  if (type == 4) return SRecordFault::kUnsupportedType;
  if (type > 9) return SRecordFault::kUnknownType;

  const std::string_view hex = line.substr(2);
  for (char c : hex) {
    if (HexValue(c) < 0) return SRecordFault::kBadHexDigit;
  }
  if (hex.size() < 2 || hex.size() % 2 != 0) return SRecordFault::kCountDoesNotFitLine;
  const unsigned count = PairAt(hex, 0);
  if (hex.size() != 2 + 2 * std::size_t{count}) return SRecordFault::kCountDoesNotFitLine;

  const unsigned addressBytes = SRecordAddressBytes(static_cast<unsigned>(type));
  if (count < addressBytes + 1) return SRecordFault::kCountTooSmall;

  unsigned sum = 0;
  for (std::size_t i = 0; i <= count; ++i) sum += PairAt(hex, i);
  if ((sum & 0xFF) != 0xFF) return SRecordFault::kBadChecksum;

  std::uint32_t address = 0;
  for (std::size_t i = 1; i <= addressBytes; ++i) address = address << 8 | PairAt(hex, i);
  const unsigned length = count - addressBytes - 1;
  out.type = static_cast<unsigned>(type);
  out.address = address;
  out.length = static_cast<std::uint8_t>(length);
  if (type >= 5 && length != 0) return SRecordFault::kDataInCountOrEndRecord;
  if (out.IsData() && length > 0 && address > 0xFFFFFFFFu - (length - 1)) {
    return SRecordFault::kBeyondAddressSpace;
  }
  for (std::size_t i = 0; i < length; ++i) out.data[i] = PairAt(hex, 1 + addressBytes + i);
  return SRecordFault::kNone;
}

}  // namespace firmware
