#include "firmware/srecord_file.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>

#include "firmware/utf8_file.h"

namespace firmware {

void SRecordFile::Reset() {
  m_records.clear();
  m_bytes.clear();
  m_length = 0;
  m_dataRecords = 0;
  m_faultLine = 0;
  m_fault = SRecordFault::kNone;
  m_faultAddress = 0;
  m_line.clear();
  m_line.reserve(kMaxLineChars);
  m_lineTooLong = false;
  m_lineNumber = 0;
}

SRecordFile::Load SRecordFile::ReadFile(const std::string& path) {
  Reset();
  const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(OpenUtf8File(path, "rb"),
                                                             &std::fclose);
  if (!file) return Load::kCannotOpen;
  return ReadStream(file.get());
}

SRecordFile::Load SRecordFile::ReadStream(std::FILE* file) {
  Reset();
  std::vector<char> block(64 * 1024);
  std::size_t got = 0;
  while ((got = std::fread(block.data(), 1, block.size(), file)) > 0) {
    if (!Feed(block.data(), got)) return Load::kBad;
  }
  if (std::ferror(file)) {
    Fail(0, SRecordFault::kReadError);
    return Load::kBad;
  }
  return Finish() ? Load::kOk : Load::kBad;
}

bool SRecordFile::Parse(std::string_view text) {
  Reset();
  return Feed(text.data(), text.size()) && Finish();
}

bool SRecordFile::Feed(const char* text, std::size_t size) {
  if (size > kMaxFileBytes - m_length) return Fail(0, SRecordFault::kFileTooLarge);
  const char* const end = text + size;
  while (text < end) {
    const auto* newline = static_cast<const char*>(std::memchr(text, '\n', end - text));
    const char* stop = newline ? newline : end;
    const auto take = static_cast<std::size_t>(stop - text);
    if (m_line.size() + take > kMaxLineChars) {
      m_line.append(text, kMaxLineChars - m_line.size());
      m_lineTooLong = true;
    } else {
      m_line.append(text, take);
    }
    m_length += take;
    text = stop;
    if (newline != nullptr) {
      ++m_length;
      ++text;
      if (!EndLine()) return false;
    }
  }
  return true;
}

bool SRecordFile::Finish() {
  if ((!m_line.empty() || m_lineTooLong) && !EndLine()) return false;
  if (m_records.empty()) return Fail(0, SRecordFault::kNoRecords);
  return true;
}

bool SRecordFile::EndLine() {
  ++m_lineNumber;
  const bool ok = AddLine(m_line);
  m_line.clear();
  m_lineTooLong = false;
  return ok;
}

bool SRecordFile::AddLine(std::string_view line) {
  // Lines that are not records (blank, comments, a lower-case 's') are skipped.
  if (line.empty() || line[0] != 'S') return true;
  if (m_lineTooLong) return Fail(m_lineNumber, SRecordFault::kLineTooLong);

  SRecordLine parsed;
  const SRecordFault fault = ParseSRecordLine(line, parsed);
  if (fault != SRecordFault::kNone) return Fail(m_lineNumber, fault);
  if (parsed.IsCount() && parsed.address != m_dataRecords) {
    return Fail(m_lineNumber, SRecordFault::kRecordCountMismatch);
  }

  if (parsed.IsData() && parsed.length > 0) {
    const std::uint64_t end = std::uint64_t{parsed.address} + parsed.length;
    if (parsed.address < m_windowFirst || end > m_windowEnd) {
      m_faultAddress = parsed.address < m_windowFirst
                           ? parsed.address
                           : std::max<std::uint64_t>(parsed.address, m_windowEnd);
      return Fail(m_lineNumber, SRecordFault::kOutsideWindow);
    }
    if (m_bytes.size() + parsed.length > m_windowEnd - m_windowFirst) {
      return Fail(m_lineNumber, SRecordFault::kMoreThanWindow);
    }
  }

  SRecord record;
  record.position = m_length;
  record.line = m_lineNumber;
  record.address = parsed.address;
  record.type = static_cast<std::uint8_t>(parsed.type);
  if (parsed.IsData()) {
    record.offset = static_cast<std::uint32_t>(m_bytes.size());
    record.length = parsed.length;
    m_bytes.insert(m_bytes.end(), parsed.data.begin(), parsed.data.begin() + parsed.length);
    ++m_dataRecords;
  }
  m_records.push_back(record);
  return true;
}

bool SRecordFile::Fail(std::uint32_t line, SRecordFault fault) {
  m_faultLine = line;
  m_fault = fault;
  return false;
}

std::string SRecordFile::FaultText(const std::string& name) const {
  const std::string reason = SRecordFaultText(m_fault);
  if (m_faultLine == 0) return "ERROR: Bad S-record file " + name + " (" + reason + ")";
  return "ERROR: Bad S-record in line " + std::to_string(m_faultLine) + " of " + name + " (" +
         reason + ")";
}

}  // namespace firmware
