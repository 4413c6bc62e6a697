#pragma once
// Command-line conventions velmorctl keeps across its commands.

#include <CLI/CLI.hpp>
#include <optional>
#include <string>

namespace cli {

// The first word that names no command where a command is wanted ("velmorctl setings show"),
// as a message that points to --help; empty when every command word is known.
std::optional<std::string> UnknownCommand(const CLI::App& app, int argc, const char* const* argv);

}  // namespace cli
