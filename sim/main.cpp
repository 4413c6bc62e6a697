// velmor-sim: the device simulator. Serves the device object in the device folder until
// SIGTERM or SIGINT, or sends one control command to the simulator that does.

#include <CLI/CLI.hpp>
#include <csignal>
#include <cstdio>
#include <memory>

#include "device/device_path.h"
#include "sim/control_client.h"
#include "sim/control_server.h"
#include "sim/sim_device.h"
#include "sim/socket_server.h"
#include "sim/state_folder.h"
#include "sim/trace_format.h"
#include "velmor_version.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

int RunControl(const std::vector<std::string>& words) {
  std::string text;
  const int code = sim::SendControl(sim::ControlPath(), words, text);
  if (code == sim::kControlOk) {
    std::fputs(text.c_str(), stdout);
    if (!text.empty() && text.back() != '\n') std::fputc('\n', stdout);
  } else {
    std::fprintf(stderr, "velmor-sim: %s\n", text.c_str());
  }
  return code;
}

// Opens the trace target: "-" is stdout. Null on failure.
std::unique_ptr<FILE, int (*)(FILE*)> OpenTrace(const std::string& target) {
  if (target == "-") return {stdout, [](FILE*) { return 0; }};
  return {std::fopen(target.c_str(), "w"), [](FILE* f) { return f ? std::fclose(f) : 0; }};
}

int Serve(const std::string& stateDir, const std::string& traceTarget, SimOptions options,
          bool reset) {
  // Blocked before any thread starts, so only sigwait below sees them.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGTERM);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGHUP);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
  // A trace piped into a reader that quits must not kill the simulator with its socket file.
  std::signal(SIGPIPE, SIG_IGN);

  std::string error;
  if (!device::EnsureDeviceFolder(&error)) {
    std::fprintf(stderr, "velmor-sim: %s\n", error.c_str());
    return kExitFailed;
  }
  SimStateFolder state(stateDir);
  if (!state.Open(error) || (reset && !state.Reset(error)) || !state.Check(error)) {
    std::fprintf(stderr, "velmor-sim: %s\n", error.c_str());
    return kExitFailed;
  }
  auto trace = OpenTrace(traceTarget.empty() ? "/dev/null" : traceTarget);
  if (!trace) {
    std::fprintf(stderr, "velmor-sim: cannot open the trace file %s\n", traceTarget.c_str());
    return kExitFailed;
  }

  options.state = &state;
  SimDevice device(options);
  if (!traceTarget.empty()) {
    FILE* out = trace.get();
    device.SetTrace([out](const SimTraceEntry& entry) {
      std::fprintf(out, "%s\n", sim::FormatTraceLine(entry).c_str());
      std::fflush(out);
    });
  }
  SimSocketServer server(device, device::DevicePath());
  if (!server.Start(error)) {
    std::fprintf(stderr, "velmor-sim: %s\n", error.c_str());
    return kExitFailed;
  }
  SimControlServer control(sim::ControlPath(), [&device, &server](const auto& words) {
    return sim::ExecuteControl(words, device, &server);
  });
  if (!control.Start(error)) {
    std::fprintf(stderr, "velmor-sim: %s\n", error.c_str());
    return kExitFailed;
  }
  std::fprintf(stderr,
               "velmor-sim: serving %s (state in %s)\n"
               "velmor-sim: control it with: velmor-sim --control status\n",
               server.Path().c_str(), state.Folder().c_str());

  int signal = 0;
  sigwait(&stopSignals, &signal);
  control.Stop();
  server.Stop();
  device.Flush();
  std::fprintf(stderr, "velmor-sim: stopped by signal %d\n", signal);
  return kExitOk;
}

}  // namespace

static int Run(int argc, char** argv) {
  CLI::App app{"velmor-sim: the VELMOR device simulator. Serves the device object at " +
                   device::DevicePath() + " until SIGTERM or SIGINT.",
               "velmor-sim"};
  app.set_version_flag("--version", std::string("velmor-sim ") + VELMOR_VERSION);
  app.footer(std::string("\n") + sim::ControlUsage());

  std::string stateDir = sim::DefaultStateFolder();
  std::string traceTarget;
  std::vector<std::string> control;
  SimOptions options;
  bool reset = false;
  app.add_flag("--reset", reset, "start from the factory state, forgetting the state folder's");
  app.add_option(
         "--state", stateDir,
         "folder of the settings and flash memory, kept across runs (default " + stateDir + ")")
      ->type_name("DIR");
  app.add_option("--trace", traceTarget, "write one line per request to FILE ('-': stdout)")
      ->type_name("FILE");
  app.add_option("--restart-ms", options.restartMs, "absence after BEGIN_UPDATE (default 1200)")
      ->type_name("MS");
  app.add_option("--erase-ms", options.eraseMs, "duration of an erase (default 1500)")
      ->type_name("MS");
  app.add_option("--busy-ms", options.busyMs, "busy time after a commit or a restore (default 300)")
      ->type_name("MS");
  auto* controlOption = app.add_option(
      "--control", control, "send COMMAND to the running simulator and exit (see below)");
  controlOption->expected(1, -1)->type_name("COMMAND");
  for (const char* name :
       {"--state", "--trace", "--restart-ms", "--erase-ms", "--busy-ms", "--reset"}) {
    app.get_option(name)->excludes(controlOption);
  }

  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForVersion& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    std::fprintf(stderr, "velmor-sim: %s\n", e.what());
    return kExitUsage;
  }
  if (!control.empty()) return RunControl(control);
  return Serve(stateDir, traceTarget, options, reset);
}

// A failure nobody foresaw (a full memory, a folder that vanished) still ends with a message.
int main(int argc, char** argv) {
  try {
    return Run(argc, argv);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "velmor-sim: %s\n", e.what());
    return kExitFailed;
  }
}
