// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/large_memory.h"

#include <cstdlib>

#ifndef _WIN32
#include <sys/mman.h>
#endif

namespace tarnimex {

#if !defined(_WIN32) && defined(MADV_HUGEPAGE)

namespace {
constexpr std::size_t kLargePage = kLargeBlockBytes;

std::size_t WholePages(std::size_t bytes) {
    return (bytes + kLargePage - 1) / kLargePage * kLargePage;
}
}  // namespace

void* AllocateLarge(std::size_t bytes) {
    if (bytes < kLargePage) return ::operator new(bytes);
    // Whole large pages, aligned to one, so that every page of the block can be one.
    void* block = std::aligned_alloc(kLargePage, WholePages(bytes));
    if (!block) throw std::bad_alloc();
    // Only a request: the block is plain memory where the system declines.
    madvise(block, WholePages(bytes), MADV_HUGEPAGE);
    return block;
}

void FreeLarge(void* block, std::size_t bytes) noexcept {
    if (bytes < kLargePage)
        ::operator delete(block);
    else
        std::free(block);
}

#else

void* AllocateLarge(std::size_t bytes) {
    return ::operator new(bytes);
}
void FreeLarge(void* block, std::size_t) noexcept {
    ::operator delete(block);
}

#endif

}  // namespace tarnimex
