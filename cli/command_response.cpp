// velmorctl response: an equalization curve's response as CSV, or its plot as PNG.

#include <charconv>
#include <cstdio>

#include "cli/commands.h"
#include "cli/json_output.h"
#include "cli/plot_output.h"
#include "eq/response_curve.h"

namespace cli {
namespace {

struct ResponseOptions {
  std::string timeConstants[4];  // microseconds, 0..65535, 0 = disabled
  std::string pngPath;
  bool autoscale = false;
  int cursor = -1;  // point marked for the readout, -1 for none
  std::string size;
  bool json = false;
};

std::uint16_t ParseTimeConstant(int number, const std::string& text) {
  unsigned value = 0;
  const char* end = text.data() + text.size();
  const auto result = std::from_chars(text.data(), end, value);
  if (text.empty() || result.ec != std::errc{} || result.ptr != end || value > 65535) {
    throw Failure(kExitUsage, "T" + std::to_string(number) +
                                  " must be a time constant of 0..65535 microseconds, got '" +
                                  text + "'");
  }
  return static_cast<std::uint16_t>(value);
}

void PrintCsv(const eq::ResponseCurve& curve) {
  std::printf("index,frequency_hz,level_db\n");
  for (std::size_t i = 0; i < eq::ResponseCurve::kPointCount; ++i) {
    std::printf("%zu,%.17g,%.17g\n", i, curve.Frequencies()[i], curve.Levels()[i]);
  }
}

void Run(const ResponseOptions& options) {
  // Checks every input before anything starts.
  std::uint16_t t[4];
  for (int i = 0; i < 4; ++i) t[i] = ParseTimeConstant(i + 1, options.timeConstants[i]);
  if (options.cursor < -1 || options.cursor >= static_cast<int>(eq::ResponseCurve::kPointCount)) {
    throw Failure(kExitUsage,
                  "--cursor wants a point index 0..1023, got " + std::to_string(options.cursor));
  }
  const bool sized = !options.size.empty();
  const PlotSize size = sized ? ParsePlotSize(options.size) : PlotSize{};

  eq::ResponseCurve curve;
  curve.SetTimeConstants(t[0], t[1], t[2], t[3]);
  if (options.json) {
    Json points = Json::array();
    for (std::size_t i = 0; i < eq::ResponseCurve::kPointCount; ++i) {
      points.push_back({{"index", i},
                        {"frequency_hz", curve.Frequencies()[i]},
                        {"level_db", curve.Levels()[i]}});
    }
    PrintJson({{"time_constants_us", {t[0], t[1], t[2], t[3]}}, {"points", points}});
    return;
  }
  if (options.pngPath.empty()) {
    PrintCsv(curve);
    return;
  }
  curve.plot.cursorIndex = options.cursor;
  WriteResponsePng(options.pngPath, curve, options.autoscale, size);
}

}  // namespace

void AddResponseCommands(CLI::App& app, CliContext& /*context*/) {
  auto options = std::make_shared<ResponseOptions>();
  CLI::App* command = app.add_subcommand(
      "response",
      "An equalization curve's response: 1024 points from 5 Hz to 31 kHz as CSV, "
      "or its plot as PNG");
  for (int i = 0; i < 4; ++i) {
    command
        ->add_option("T" + std::to_string(i + 1), options->timeConstants[i],
                     "time constant t" + std::to_string(i + 1) + ", microseconds, 0 = disabled")
        ->required()
        ->type_name("MICROSECONDS");
  }
  CLI::Option* png =
      command
          ->add_option("--png", options->pngPath,
                       PngOutputAvailable()
                           ? "write the plot as the panel shows it to FILE ('-': stdout)"
                           : "write the plot to FILE: not available in this build")
          ->type_name("FILE");
  command->add_flag("--autoscale", options->autoscale, "scale the dB axis to the curve")
      ->needs(png);
  command->add_option("--cursor", options->cursor, "mark point I (0..1023) with the readout")
      ->type_name("I")
      ->check(CLI::Range(0, static_cast<int>(eq::ResponseCurve::kPointCount) - 1))
      ->needs(png);
  command
      ->add_option("--size", options->size,
                   "picture size WxH in pixels (default: the panel's plot control)")
      ->type_name("WxH")
      ->needs(png);
  command->add_flag("--json", options->json, "print the points as JSON instead of CSV")
      ->excludes(png);
  command->callback([options]() { Run(*options); });
}

}  // namespace cli
