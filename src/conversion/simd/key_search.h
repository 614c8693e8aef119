// SPDX-License-Identifier: GPL-3.0-or-later
// Finding the key sentence's address in a line, through the vector kernels.
#pragma once

#include <string_view>

#include "conversion/simd/kernels.h"

namespace tarnimex {

// Where key first lies wholly in text from from on, or npos; an empty key is
// never found.
inline std::size_t FindKey(std::string_view text, std::string_view key, std::size_t from) {
    static_assert(std::string_view::npos == SIZE_MAX);
    return ActiveKernel().findKey(text.data(), text.size(), key.data(), key.size(), from);
}

}  // namespace tarnimex
