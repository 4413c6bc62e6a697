#pragma once
// The settings image as a JSON document a person can read, diff and edit: every field decoded
// with its unit, and the raw bytes as hex so that what the tool does not interpret travels too.
// Keys are dotted paths into the document ("gain_db", "curves.2.name").

#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "settings/settings_image.h"

namespace settings {

using Document = nlohmann::ordered_json;

inline constexpr int kDocumentFormat = 1;

struct DocumentProblem {
  std::string key;          // dotted key; "" for the document as a whole
  std::string message;      // names the value and what was expected
  bool outOfRange = false;  // a well-formed value beyond its field's range: may be forced
};

// "key: message", or the message alone for the whole document.
std::string ProblemText(const DocumentProblem& problem);

// The keys of the decoded fields, in document order.
std::vector<std::string> DocumentKeys();
bool IsDocumentKey(const std::string& key);

// `length` is the number of image bytes the device holds (at most 256): the raw part's size.
Document ExportDocument(const SettingsImage& image, std::size_t length);

// Starts `image` from the document's raw bytes and lays every decoded field present over them.
// The image may be sent only when no problem came back, or, with force, when all are out of
// range. A field equal to its raw decoding leaves its bytes as they are.
std::vector<DocumentProblem> ImportDocument(const Document& document, std::size_t length,
                                            SettingsImage& image);

// The fields of a raw image whose values lie outside their ranges.
std::vector<DocumentProblem> RangeProblems(const SettingsImage& image);

// Reads a command-line value for `key` as the document would hold it (true/false, numbers,
// YYYY-MM-DD, text). Empty with `error` set when it cannot be one.
std::optional<Document> ParseValue(const std::string& key, const std::string& text,
                                   std::string& error);

// Where a dotted key lives in the document.
Document::json_pointer KeyPointer(const std::string& key);

}  // namespace settings
