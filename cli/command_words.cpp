#include "cli/command_words.h"

namespace cli {

std::optional<std::string> UnknownCommand(const CLI::App& app, int argc, const char* const* argv) {
  const CLI::App* current = &app;
  std::string path = app.get_name();
  for (int i = 1; i < argc; ++i) {
    const std::string word = argv[i];
    if (word == "--") return std::nullopt;
    if (word.starts_with("-")) continue;  // options and their values are CLI11's to judge
    const auto subcommands = current->get_subcommands([](const CLI::App*) { return true; });
    if (subcommands.empty()) return std::nullopt;
    const CLI::App* next = nullptr;
    for (const CLI::App* sub : subcommands) {
      if (sub->get_name() == word) next = sub;
    }
    if (!next) {
      // A command that takes its own arguments beside its subcommands judges the word itself.
      if (!current->get_options([](const CLI::Option* o) { return o->get_positional(); }).empty())
        return std::nullopt;
      return "unknown command '" + word + "'; see '" + path + " --help'";
    }
    current = next;
    path += " " + word;
  }
  return std::nullopt;
}

}  // namespace cli
