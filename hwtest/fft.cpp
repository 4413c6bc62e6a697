#include "hwtest/fft.h"

#include <fftw3.h>

namespace hwtest {

bool fft(double* re, double* im, int n, int sign, double* work) {
  if (re == nullptr || im == nullptr || work == nullptr) return false;
  if (n < 1 || (n & (n - 1)) != 0) return false;
  if (sign == 0) {
    // FFTW plans for the arrays at hand, so all the preparation keeps is the size.
    work[0] = n;
    return true;
  }
  if (sign != 1 || work[0] != n) return false;

  // FFTW's split-array transform has the negative exponent; with the real and imaginary arrays
  // swapped on the way in and out it computes the positive one.
  // FFTW picks its kernels by the arrays' alignment; without that choice every call computes
  // with the same kernels, so every opening of the test window shows the very same bins.
  fftw_iodim dimension{n, 1, 1};
  fftw_plan plan = fftw_plan_guru_split_dft(1, &dimension, 0, nullptr, im, re, im, re,
                                            FFTW_ESTIMATE | FFTW_UNALIGNED);
  if (plan == nullptr) return false;
  fftw_execute(plan);
  fftw_destroy_plan(plan);
  const double scale = 1.0 / n;
  for (int k = 0; k < n; ++k) {
    re[k] *= scale;
    im[k] *= scale;
  }
  return true;
}

}  // namespace hwtest
