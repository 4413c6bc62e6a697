#pragma once
// Qt's AVX2 raster fills (Qt 6.4 as built here) return with the upper halves of the vector
// registers still in use. Until they are cleared, every plain SSE instruction that follows pays a
// transition penalty: measured on this machine, recomputing a response curve right after a paint
// took 690 us instead of 45 us, and the curve's stroke 1.2 ms instead of 0.2 ms.

namespace eq {

// Clears the upper vector state (vzeroupper) where the CPU has AVX; does nothing elsewhere.
// Cheap (a few cycles): call it before a stretch of floating-point work that may follow Qt
// painting.
void ClearUpperVectorState();

}  // namespace eq
