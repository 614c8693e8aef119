// SPDX-License-Identifier: GPL-3.0-or-later
// The decompression path on arbitrary bytes: whatever a damaged gzip, xz, zstd
// or bzip2 log holds, reading it either ends with lines that keep the reader's
// promises or raises DamagedLog; it never crashes, hangs or reads past a buffer.
// The seeds are small compressed logs of each format.
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "conversion/input/compressed_source.h"
#include "conversion/input/log_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    std::FILE* file = fmemopen(const_cast<std::uint8_t*>(data), size, "rb");
    if (file == nullptr) return 0;
    tarnimex::LogReader reader;
    try {
        reader.Open(tarnimex::OpenLogSource(file, "fuzz"), static_cast<std::int64_t>(size));
        while (!reader.ReadLogLine().empty()) {
            if (reader.BytesRead() > static_cast<std::int64_t>(size)) std::abort();
        }
    } catch (const tarnimex::DamagedLog&) {
    }
    return 0;
}
