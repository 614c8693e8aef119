// SPDX-License-Identifier: GPL-3.0-or-later
// The kernels 32 bytes at a time; this file alone is built for AVX2, and its
// row is only chosen after the processor has been asked.
#include "conversion/simd/kernel_impl.h"

namespace tarnimex {

extern const Kernel kAvx2Kernel;
const Kernel kAvx2Kernel = MakeKernel<Avx2Ops>("avx2");

}  // namespace tarnimex
