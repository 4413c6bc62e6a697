// velmorctl spectrum: the hardware test's spectrum as CSV, or its plot as PNG.

#include <cstdio>

#include "cli/commands.h"
#include "cli/json_output.h"
#include "cli/plot_output.h"
#include "hwtest/test_spectrum.h"

namespace cli {
namespace {

struct SpectrumOptions {
  std::string pngPath;
  std::string size;
  bool json = false;
};

void PrintCsv(const hwtest::TestSpectrum& spectrum) {
  std::printf("bin,frequency_hz,level_db\n");
  for (std::size_t k = 0; k < hwtest::TestSpectrum::kBinCount; ++k) {
    std::printf("%zu,%.17g,%.17g\n", k, spectrum.BinFrequency(k), spectrum.Levels()[k]);
  }
}

void Run(const SpectrumOptions& options) {
  const bool sized = !options.size.empty();
  const PlotSize size = sized ? ParsePlotSize(options.size) : PlotSize{};
  const hwtest::TestSpectrum spectrum;
  if (options.json) {
    Json bins = Json::array();
    for (std::size_t k = 0; k < hwtest::TestSpectrum::kBinCount; ++k) {
      bins.push_back({{"bin", k},
                      {"frequency_hz", spectrum.BinFrequency(k)},
                      {"level_db", spectrum.Levels()[k]}});
    }
    PrintJson({{"bins", bins}});
    return;
  }
  if (options.pngPath.empty()) {
    PrintCsv(spectrum);
    return;
  }
  WriteSpectrumPng(options.pngPath, spectrum, size);
}

}  // namespace

void AddSpectrumCommands(CLI::App& app, CliContext& /*context*/) {
  auto options = std::make_shared<SpectrumOptions>();
  CLI::App* command = app.add_subcommand(
      "spectrum",
      "The hardware test's spectrum of its 1 kHz test tone: 2048 bins as CSV, or its "
      "plot as PNG (no device needed)");
  CLI::Option* png =
      command
          ->add_option("--png", options->pngPath,
                       PngOutputAvailable()
                           ? "write the plot as the test window shows it to FILE ('-': stdout)"
                           : "write the plot to FILE: not available in this build")
          ->type_name("FILE");
  command
      ->add_option("--size", options->size,
                   "picture size WxH in pixels (default: the test window's plot control)")
      ->type_name("WxH")
      ->needs(png);
  command->add_flag("--json", options->json, "print the bins as JSON instead of CSV")
      ->excludes(png);
  command->callback([options]() { Run(*options); });
}

}  // namespace cli
