#include "cli/commands.h"

namespace cli {

void AddSpectrumCommands(CLI::App& /*app*/, CliContext& /*context*/) {}

}  // namespace cli
