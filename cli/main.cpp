// velmorctl: the device's identity, settings, defaults, firmware and plots from the command line.

#include <cstdio>
#include <exception>

#include "cli/commands.h"
#include "cli/utf8_arguments.h"

int main(int argc, char** argv) {
  const cli::Utf8Arguments utf8(argc, argv);
  CLI::App app{"velmorctl: configure and update the VELMOR phono preamplifier"};
  app.require_subcommand(1);
  cli::CliContext context;
  cli::AddDeviceCommands(app, context);
  cli::AddSettingsDocumentCommands(app, context);
  cli::AddResponseCommands(app, context);
  cli::AddFirmwareCommands(app, context);
  cli::AddSpectrumCommands(app, context);
  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForAllHelp& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    std::fprintf(stderr, "velmorctl: %s\n", e.what());
    return cli::kExitUsage;
  } catch (const cli::Failure& e) {
    std::fprintf(stderr, "velmorctl: %s\n", e.what());
    return e.code;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "velmorctl: %s\n", e.what());
    return cli::kExitDevice;
  }
  return cli::kExitOk;
}
