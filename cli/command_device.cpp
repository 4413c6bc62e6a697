#include "cli/commands.h"

namespace cli {

void AddDeviceCommands(CLI::App& /*app*/, CliContext& /*context*/) {}

}  // namespace cli
