#pragma once
// A whole S-record file, read and checked before anything goes to the device: every line that
// starts with 'S' must be a well-formed record, and count records must agree with the data
// records before them. The records keep their line numbers and the file position after their
// line, which is what a download's progress is measured by.

#include <cstdint>
#include <cstdio>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "firmware/srecord_line.h"

namespace firmware {

struct SRecord {
  std::uint64_t position = 0;  // file position just after this record's line, in bytes
  std::uint32_t line = 0;      // 1-based
  std::uint32_t address = 0;   // the address field; for S5 and S6 the record count
  std::uint32_t offset = 0;    // first data byte in SRecordFile's byte store
  std::uint16_t length = 0;    // data bytes; 0 for headers, counts and end records
  std::uint8_t type = 0;       // 0..9 (never 4)

  bool IsData() const { return type >= 1 && type <= 3; }
};

class SRecordFile {
 public:
  // Hard limits. A real image is 192 KiB at most; the file limit leaves room for service files.
  static constexpr std::uint64_t kMaxFileBytes = 64ull << 20;
  // Longest line read; a well-formed record is at most 514 characters.
  static constexpr std::size_t kMaxLineChars = 1022;

  enum class Load { kOk, kCannotOpen, kBad };

  // Reads and checks the file. With kBad, FaultLine and Fault say what was wrong.
  Load ReadFile(const std::string& path);
  // The same from a stream opened by the caller, read to its end; not closed here.
  Load ReadStream(std::FILE* file);
  // The same from text in memory.
  bool Parse(std::string_view text);

  // Refuses data outside [first, end) at its record (kOutsideWindow, FaultAddress the first
  // byte outside), and more data in all than the window holds (kMoreThanWindow), so what is
  // kept stays bounded by the window whatever the file's size. Kept across reads.
  void SetWindow(std::uint32_t first, std::uint64_t end) {
    m_windowFirst = first;
    m_windowEnd = end;
  }

  const std::vector<SRecord>& Records() const { return m_records; }
  std::span<const std::uint8_t> Data(const SRecord& record) const {
    return {m_bytes.data() + record.offset, record.length};
  }
  std::uint64_t Length() const { return m_length; }  // bytes in the file
  std::size_t DataRecords() const { return m_dataRecords; }
  std::uint64_t DataBytes() const { return m_bytes.size(); }

  // Line of the first fault, 0 for a fault of the file as a whole.
  std::uint32_t FaultLine() const { return m_faultLine; }
  SRecordFault Fault() const { return m_fault; }
  std::uint64_t FaultAddress() const { return m_faultAddress; }
  // "ERROR: Bad S-record in line <n> of <name> (<fault>)", or the file-wide form.
  std::string FaultText(const std::string& name) const;

 private:
  void Reset();
  bool Feed(const char* text, std::size_t size);
  bool Finish();
  bool EndLine();
  bool AddLine(std::string_view line);
  bool Fail(std::uint32_t line, SRecordFault fault);

  std::vector<SRecord> m_records;
  std::vector<std::uint8_t> m_bytes;  // data of every data record, in file order
  std::uint64_t m_length = 0;
  std::size_t m_dataRecords = 0;
  std::uint32_t m_faultLine = 0;
  SRecordFault m_fault = SRecordFault::kNone;
  std::uint64_t m_faultAddress = 0;  // with kOutsideWindow
  std::uint32_t m_windowFirst = 0;
  std::uint64_t m_windowEnd = std::uint64_t{1} << 32;  // one past; the whole space by default

  // Line assembly while reading: at most kMaxLineChars are kept of any line.
  std::string m_line;
  bool m_lineTooLong = false;
  std::uint32_t m_lineNumber = 0;
};

}  // namespace firmware
