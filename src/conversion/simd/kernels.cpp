// SPDX-License-Identifier: GPL-3.0-or-later
// The table of kernels and the one choice among them.
#include "conversion/simd/kernels.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace tarnimex {

extern const Kernel kScalarKernel;
#if defined(TARNIMEX_X86_KERNELS)
extern const Kernel kSse2Kernel;
extern const Kernel kAvx2Kernel;
#endif

namespace {

constexpr const char* kForceVariable = "TARNIMEX_KERNEL";

struct KernelRow {
    const Kernel* kernel;
    bool (*runsHere)();
};

bool Always() {
    return true;
}

#if defined(TARNIMEX_X86_KERNELS)
bool HasAvx2() {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") != 0;
}
#endif

// Every kernel built, best first.
constexpr KernelRow kKernels[] = {
#if defined(TARNIMEX_X86_KERNELS)
    {&kAvx2Kernel, HasAvx2},
    {&kSse2Kernel, Always},
#endif
    {&kScalarKernel, Always},
};

const Kernel& Choose() {
    const std::vector<const Kernel*> runnable = RunnableKernels();
    const Kernel& best = *runnable.front();
    const char* forced = std::getenv(kForceVariable);
    if (forced == nullptr || *forced == '\0') return best;
    const std::string_view name = forced;
    for (const KernelRow& row : kKernels) {
        if (name != row.kernel->name) continue;
        if (row.runsHere()) return *row.kernel;
        std::fprintf(stderr, "%s=%s: this processor cannot run that kernel; using %s\n",
                     kForceVariable, forced, best.name);
        return best;
    }
    std::string names;
    for (const KernelRow& row : kKernels)
        names += std::string(names.empty() ? "" : ", ") + row.kernel->name;
    std::fprintf(stderr, "%s=%s: no such kernel (there are %s); using %s\n", kForceVariable, forced,
                 names.c_str(), best.name);
    return best;
}

}  // namespace

const Kernel& ActiveKernel() {
    static const Kernel& chosen = Choose();
    return chosen;
}

std::vector<const Kernel*> RunnableKernels() {
    std::vector<const Kernel*> kernels;
    for (const KernelRow& row : kKernels) {
        if (row.runsHere()) kernels.push_back(row.kernel);
    }
    return kernels;
}

}  // namespace tarnimex
