// velmorctl settings export|import|set|get: the settings as a readable document, and single
// fields by their document keys.

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/json_output.h"
#include "cli/settings_io.h"
#include "settings/settings_document.h"

namespace cli {

namespace {

using settings::Document;
using settings::DocumentProblem;

struct Options {
  std::string exportPath;
  std::string importPath;
  bool importForce = false;
  std::vector<std::string> assignments;  // KEY=VALUE
  std::vector<std::string> keys;
  bool json = false;
};

// Refuses unless every problem is a value out of range and `force` is given.
void Refuse(const std::string& what, const std::vector<DocumentProblem>& problems, bool force) {
  const bool forcible = std::all_of(problems.begin(), problems.end(),
                                    [](const DocumentProblem& p) { return p.outOfRange; });
  if (problems.empty() || (force && forcible)) return;
  std::string message = what + " refused, nothing sent:";
  for (const DocumentProblem& p : problems) message += "\n  " + settings::ProblemText(p);
  if (forcible) message += "\n  (--force writes values out of range all the same)";
  throw Failure(kExitUsage, message);
}

std::string ValueText(const Document& value) {
  return value.is_string() ? value.get<std::string>() : value.dump();
}

// KEY=VALUE lines, or one JSON object keyed by the keys.
void PrintValues(const Document& document, const std::vector<std::string>& keys, bool json) {
  Document out = Document::object();
  for (const std::string& key : keys) {
    const Document& value = document[settings::KeyPointer(key)];
    if (json) {
      out[key] = value;
    } else {
      std::printf("%s=%s\n", key.c_str(), ValueText(value).c_str());
    }
  }
  if (json) PrintJson(out);
}

void Export(CliContext& context, const std::string& path) {
  SettingsImage image;
  const std::uint16_t length = ReadDeviceImage(context, image);
  WriteOutput(path, settings::ExportDocument(image, MovedBytes(length)).dump(2) + "\n");
}

void Import(CliContext& context, const std::string& path, bool force, bool json) {
  // A document of the 238-byte image is a few kilobytes; a megabyte leaves room for formatting.
  const std::string text = ReadInput(path, 1 << 20, "a settings document");
  const Document document = Document::parse(text, nullptr, false);
  if (document.is_discarded()) throw Failure(kExitUsage, path + " is not a JSON document");
  const std::uint16_t length = DeviceImageLength(context);
  SettingsImage image;
  const auto problems = settings::ImportDocument(document, MovedBytes(length), image);
  Refuse(path, problems, force);
  WriteDeviceImage(context, image, length);
  if (json) {
    PrintJson({{"file", path}, {"forced", !problems.empty()}});
  } else {
    std::printf("imported %s\n", path.c_str());
  }
}

void Set(CliContext& context, const std::vector<std::string>& assignments, bool json) {
  // Every assignment is read before the device is asked.
  std::vector<std::pair<std::string, Document>> values;
  for (const std::string& assignment : assignments) {
    const std::size_t equals = assignment.find('=');
    if (equals == std::string::npos || equals == 0)
      throw Failure(kExitUsage, "'" + assignment + "' is not KEY=VALUE");
    const std::string key = assignment.substr(0, equals);
    std::string error;
    const auto value = settings::ParseValue(key, assignment.substr(equals + 1), error);
    if (!value) throw Failure(kExitUsage, error);
    values.emplace_back(key, *value);
  }
  SettingsImage image;
  const std::uint16_t length = ReadDeviceImage(context, image);
  Document document = settings::ExportDocument(image, MovedBytes(length));
  std::vector<std::string> keys;
  for (const auto& [key, value] : values) {
    document[settings::KeyPointer(key)] = value;
    keys.push_back(key);
  }
  // Values the device already holds out of range are its own business; only the fields set
  // here must lie in theirs.
  std::vector<DocumentProblem> problems =
      settings::ImportDocument(document, MovedBytes(length), image);
  std::erase_if(problems, [&keys](const DocumentProblem& p) {
    return p.outOfRange && std::find(keys.begin(), keys.end(), p.key) == keys.end();
  });
  Refuse("settings set", problems, false);
  WriteDeviceImage(context, image, length);
  PrintValues(settings::ExportDocument(image, MovedBytes(length)), keys, json);
}

void Get(CliContext& context, const std::vector<std::string>& keys, bool json) {
  for (const std::string& key : keys) {
    if (!settings::IsDocumentKey(key)) throw Failure(kExitUsage, key + ": is not a settings key");
  }
  SettingsImage image;
  const std::uint16_t length = ReadDeviceImage(context, image);
  PrintValues(settings::ExportDocument(image, MovedBytes(length)), keys, json);
}

}  // namespace

void AddSettingsDocumentCommands(CLI::App& app, CliContext& context) {
  CLI::App* settingsCommand = app.get_subcommand("settings");
  auto options = std::make_shared<Options>();

  auto* exportCommand = settingsCommand->add_subcommand(
      "export", "Write the settings as a JSON document: every field decoded, and the raw bytes");
  exportCommand->add_option("FILE", options->exportPath, "document to write ('-': standard output)")
      ->required()
      ->type_name("FILE");
  exportCommand->callback([&context, options] { Export(context, options->exportPath); });

  auto* importCommand = settingsCommand->add_subcommand(
      "import", "Check a settings document, write it with the commit and read it back");
  importCommand->add_option("FILE", options->importPath, "document to read ('-': standard input)")
      ->required()
      ->type_name("FILE");
  importCommand->add_flag("--force", options->importForce,
                          "write values out of range all the same");
  importCommand->add_flag("--json", options->json, "print JSON");
  importCommand->callback([&context, options] {
    Import(context, options->importPath, options->importForce, options->json);
  });

  auto* setCommand = settingsCommand->add_subcommand(
      "set", "Change fields by their document keys in one read, check and write");
  setCommand
      ->add_option("KEY=VALUE", options->assignments, "e.g. gain_db=-3.5 curves.2.name=\"My LP\"")
      ->required()
      ->type_name("KEY=VALUE");
  setCommand->add_flag("--json", options->json, "print the new values as JSON");
  setCommand->callback([&context, options] { Set(context, options->assignments, options->json); });

  auto* getCommand = settingsCommand->add_subcommand("get", "Print fields by their document keys");
  getCommand->add_option("KEY", options->keys, "e.g. gain_db curves.2.name")
      ->required()
      ->type_name("KEY");
  getCommand->add_flag("--json", options->json, "print JSON");
  getCommand->callback([&context, options] { Get(context, options->keys, options->json); });
}

}  // namespace cli
