// SPDX-License-Identifier: GPL-3.0-or-later
// The kernels 16 bytes at a time, on SSE2, which every x86-64 processor has.
#include "conversion/simd/kernel_impl.h"

namespace tarnimex {

extern const Kernel kSse2Kernel;
const Kernel kSse2Kernel = MakeKernel<Sse2Ops>("sse2");

}  // namespace tarnimex
