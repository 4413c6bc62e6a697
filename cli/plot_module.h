#pragma once
// The Qt build's PNG output lives in a module of its own (velmorctl-plots), loaded only when a
// PNG is asked for: the Qt GUI libraries it needs would otherwise load with every command, which
// triples velmorctl's memory and start-up time for something like a firmware check. The module
// is built from this tree with velmorctl, so C++ types cross the boundary as they are.

#include <string>

#include "cli/plot_output.h"

// The module's entry points: 0, or an exit code with a one-line message in `message`.
using VelmorctlResponsePng = int (*)(const std::string& path, eq::ResponseCurve& curve,
                                     bool autoscale, cli::PlotSize size, std::string& message);
using VelmorctlSpectrumPng = int (*)(const std::string& path, const hwtest::TestSpectrum& spectrum,
                                     cli::PlotSize size, std::string& message);
