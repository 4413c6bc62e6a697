#pragma once
// Frequencies spaced evenly on a logarithmic scale, shared by the response curve and the
// hardware test's spectrum axis.

#include <span>

namespace eq {

// Fills `frequencies` (hertz, ascending) from startHz to endHz in equal steps of log10.
// The first value is startHz exactly; each further value adds the difference of two successive
// powers of ten to the one before, so the sum telescopes to endHz up to rounding.
// Needs 0 < startHz < endHz and at least two values; otherwise it leaves `frequencies` alone.
void LayoutLogAxis(std::span<double> frequencies, double startHz, double endHz);

}  // namespace eq
