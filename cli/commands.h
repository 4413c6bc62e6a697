#pragma once
// Each group of velmorctl commands registers itself on the application.

#include <CLI/CLI.hpp>

#include "cli/cli_context.h"

namespace cli {

void AddDeviceCommands(CLI::App& app, CliContext& context);    // identity, settings, defaults
void AddResponseCommands(CLI::App& app, CliContext& context);  // response
void AddFirmwareCommands(CLI::App& app, CliContext& context);  // firmware, and update below
void AddUpdateCommand(CLI::App& app, CliContext& context);     // update
void AddSpectrumCommands(CLI::App& app, CliContext& context);  // spectrum
// settings export, import, set, get; after AddDeviceCommands, which makes `settings`
void AddSettingsDocumentCommands(CLI::App& app, CliContext& context);

}  // namespace cli
