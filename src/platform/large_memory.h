// SPDX-License-Identifier: GPL-3.0-or-later
// Memory for long series that are filled once and read a few times. Where the
// system backs memory with large pages on request (Linux's transparent huge
// pages), blocks of a large page or more ask for them: filling a series of
// millions of values then faults once every 2 MiB rather than every 4 KiB,
// which on a virtual machine costs more than computing with the values.
// Elsewhere, and for smaller blocks, plain memory.
#pragma once

#include <cstddef>
#include <new>

namespace tarnimex {

// The least block that asks for large pages: grow a long series to it at once
// rather than through smaller blocks, each faulting page by page.
constexpr std::size_t kLargeBlockBytes = std::size_t{2} << 20;

// Throws std::bad_alloc when there is no memory, as operator new does.
void* AllocateLarge(std::size_t bytes);
// bytes: as given to AllocateLarge.
void FreeLarge(void* block, std::size_t bytes) noexcept;

template <class T>
struct LargeAllocator {
    using value_type = T;

    LargeAllocator() = default;
    template <class U>
    LargeAllocator(const LargeAllocator<U>&) noexcept {}

    T* allocate(std::size_t n) {
        if (n > static_cast<std::size_t>(-1) / sizeof(T)) throw std::bad_array_new_length();
        return static_cast<T*>(AllocateLarge(n * sizeof(T)));
    }
    void deallocate(T* p, std::size_t n) noexcept { FreeLarge(p, n * sizeof(T)); }

    template <class U>
    bool operator==(const LargeAllocator<U>&) const noexcept {
        return true;
    }
};

}  // namespace tarnimex
