#include "cli/json_output.h"

#include <cstdio>

namespace cli {

Json Versioned(const Json& fields) {
  Json object{{"format", kJsonFormat}};
  for (auto it = fields.begin(); it != fields.end(); ++it) {
    if (it.key() != "format") object[it.key()] = it.value();
  }
  return object;
}

std::string JsonText(const Json& object, bool oneLine) {
  return object.dump(oneLine ? -1 : 2, ' ', false, Json::error_handler_t::replace);
}

void PrintJson(const Json& fields, bool oneLine) {
  std::printf("%s\n", JsonText(Versioned(fields), oneLine).c_str());
  std::fflush(stdout);
}

}  // namespace cli
