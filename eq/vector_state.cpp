#include "eq/vector_state.h"

#if (defined(__x86_64__) || defined(__i386__)) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>

namespace eq {
namespace {

__attribute__((target("avx"))) void ZeroUpper() {
  _mm256_zeroupper();
}

}  // namespace

void ClearUpperVectorState() {
  if (__builtin_cpu_supports("avx")) ZeroUpper();
}

}  // namespace eq

#else

namespace eq {

void ClearUpperVectorState() {}

}  // namespace eq

#endif
