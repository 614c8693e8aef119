// SPDX-License-Identifier: GPL-3.0-or-later
// Compressed logs. A log whose first bytes are those of a gzip, xz, zstd or
// bzip2 stream is read as the log it holds, whatever its name; any other log is
// read as it is, so a plain log named ".gz" stays readable. Concatenated
// streams (pigz, cat a.gz b.gz) are read one after the other. Every check the
// format carries (CRC, length) is verified: a damaged or truncated stream
// raises DamagedLog with the library's reason, never a shortened log.
#pragma once

#include <cstdio>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

#include "conversion/input/byte_source.h"

namespace tarnimex {

// Compressed data that do not decode; the log cannot be converted, the run
// goes on.
class DamagedLog : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// Whether the name ends in ".gz", ".xz", ".zst" or ".bz2", in any letter case.
bool HasCompressedExtension(std::string_view name);

// A source over an open file, which it closes unless it is standard input:
// decompressing when the file's first bytes are a known format's, plain
// otherwise. A seekable file is peeked at and rewound; a pipe is read once.
// Throws IoError when the first bytes cannot be read.
std::unique_ptr<ByteSource> OpenLogSource(std::FILE* file, std::string path);

}  // namespace tarnimex
