// SPDX-License-Identifier: GPL-3.0-or-later
// The kernels one byte at a time: for any processor, and the reference the
// vector kernels are tested against.
#include "conversion/simd/kernel_impl.h"

namespace tarnimex {

extern const Kernel kScalarKernel;
const Kernel kScalarKernel = MakeKernel<ScalarOps>("scalar");

}  // namespace tarnimex
