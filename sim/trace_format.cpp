#include "sim/trace_format.h"

#include <cstdio>

namespace sim {

namespace {

std::string Hex(std::span<const std::uint8_t> bytes) {
  if (bytes.empty()) return "-";
  std::string text;
  char b[4];
  for (std::uint8_t v : bytes) {
    std::snprintf(b, sizeof b, "%02X", v);
    if (!text.empty()) text += ' ';
    text += b;
  }
  return text;
}

}  // namespace

std::string FormatTraceLine(const SimTraceEntry& entry) {
  std::string line;
  ReceivedFrame frame;
  if (ReceivedFrame::Parse(entry.frame, frame)) {
    char head[96];
    std::snprintf(head, sizeof head,
                  "%s (0x%02X) value=0x%04X index=0x%04X data=", CommandName(frame.command),
                  frame.command, frame.value, frame.index);
    line = head + Hex(frame.data);
  } else {
    line = "malformed=" + Hex(entry.frame);
  }
  line += entry.completed ? " result=ok" : " result=failed";
  line += " reply=";
  line += entry.replyAsked ? Hex(entry.reply) : "-";
  return line;
}

}  // namespace sim
