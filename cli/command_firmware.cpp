#include "cli/commands.h"

namespace cli {

void AddFirmwareCommands(CLI::App& /*app*/, CliContext& /*context*/) {}

}  // namespace cli
