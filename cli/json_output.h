#pragma once
// velmorctl's JSON output: one object per line of meaning, "format" first, always valid UTF-8.

#include <nlohmann/json.hpp>
#include <string>

namespace cli {

using Json = nlohmann::ordered_json;

inline constexpr int kJsonFormat = 1;

// `fields` with "format" in front.
Json Versioned(const Json& fields);
// Indented, or on one line for streams of objects. Bytes that are not UTF-8 (a file name from
// the command line, say) come out as U+FFFD rather than failing the output.
std::string JsonText(const Json& object, bool oneLine = false);
// Versioned(fields) on standard output.
void PrintJson(const Json& fields, bool oneLine = false);

}  // namespace cli
