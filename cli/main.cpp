// velmorctl: the device's identity, settings, defaults, firmware and plots from the command line.

#include <cstdio>
#include <exception>

#include "cli/command_words.h"
#include "cli/commands.h"
#include "cli/console_window.h"
#include "cli/utf8_arguments.h"
#include "velmor_version.h"

int main(int argc, char** argv) {
  const cli::Utf8Arguments utf8(argc, argv);
  // Named here, so usage lines say velmorctl and not the path it was started by.
  CLI::App app{"velmorctl: configure and update the VELMOR phono preamplifier", "velmorctl"};
  app.set_version_flag("--version", std::string("velmorctl ") + VELMOR_VERSION);
  app.set_help_all_flag("--help-all", "Print help for every command and exit");
  app.require_subcommand(1);
  cli::CliContext context;
  cli::AddDeviceCommands(app, context);
  cli::AddSettingsDocumentCommands(app, context);
  cli::AddResponseCommands(app, context);
  cli::AddFirmwareCommands(app, context);
  cli::AddSpectrumCommands(app, context);
  if (argc == 1 && cli::OwnsConsoleWindow()) {
    // Started by a double-click: the help, and time to read it.
    std::fputs(app.help().c_str(), stdout);
    cli::WaitForKeyBeforeClosing();
    return cli::kExitUsage;
  }
  if (const auto unknown = cli::UnknownCommand(app, argc, argv)) {
    std::fprintf(stderr, "velmorctl: %s\n", unknown->c_str());
    return cli::kExitUsage;
  }
  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForAllHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForVersion& e) {
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
