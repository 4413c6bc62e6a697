#include "cli/commands.h"

namespace cli {

void AddResponseCommands(CLI::App& /*app*/, CliContext& /*context*/) {}

}  // namespace cli
