#pragma once
// The complex fast Fourier transform the hardware test runs on its test tone.

namespace hwtest {

// Transforms N complex values held as two arrays, re[n] + i im[n], in place.
//   sign 0:  prepares `work` (3N doubles) for size N; re and im are left alone.
//   sign +1: (re[k], im[k]) <- (1/N) sum over n of (re[n] + i im[n]) e^(+2 pi i k n / N),
//            k = 0..N-1 in natural order, with `work` prepared for the same N.
// Returns false, changing nothing, for a null array, an N that is not a power of two, another
// sign, or a work array not prepared for N.
bool fft(double* re, double* im, int n, int sign, double* work);

}  // namespace hwtest
