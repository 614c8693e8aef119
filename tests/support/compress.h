// SPDX-License-Identifier: GPL-3.0-or-later
// Compressed copies of test logs, made with the formats' own libraries the way
// their command-line tools make them (xz and zstd with their checksums).
#pragma once

#include <bzlib.h>
#include <lzma.h>
#include <zlib.h>
#include <zstd.h>

#include <stdexcept>
#include <string>

namespace tarnimex::test {

enum class Packing { Gzip, Xz, Zstd, Bzip2 };
constexpr Packing kPackings[] = {Packing::Gzip, Packing::Xz, Packing::Zstd, Packing::Bzip2};

inline const char* Extension(Packing packing) {
    switch (packing) {
        case Packing::Gzip:
            return ".gz";
        case Packing::Xz:
            return ".xz";
        case Packing::Zstd:
            return ".zst";
        case Packing::Bzip2:
            return ".bz2";
    }
    return "";
}

inline std::string Compress(Packing packing, const std::string& bytes) {
    std::string out(bytes.size() + bytes.size() / 2 + 1024, '\0');
    auto* dst = reinterpret_cast<unsigned char*>(out.data());
    const auto* src = reinterpret_cast<const unsigned char*>(bytes.data());
    bool ok = false;
    std::size_t size = out.size();
    switch (packing) {
        case Packing::Gzip: {
            z_stream z{};
            ok = deflateInit2(&z, 6, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY) == Z_OK;
            z.next_in = const_cast<unsigned char*>(src);
            z.avail_in = static_cast<unsigned>(bytes.size());
            z.next_out = dst;
            z.avail_out = static_cast<unsigned>(out.size());
            ok = ok && deflate(&z, Z_FINISH) == Z_STREAM_END;
            size = z.total_out;
            deflateEnd(&z);
            break;
        }
        case Packing::Xz: {
            std::size_t pos = 0;
            ok = lzma_easy_buffer_encode(6, LZMA_CHECK_CRC64, nullptr, src, bytes.size(), dst, &pos,
                                         out.size()) == LZMA_OK;
            size = pos;
            break;
        }
        case Packing::Zstd: {
            ZSTD_CCtx* z = ZSTD_createCCtx();
            ZSTD_CCtx_setParameter(z, ZSTD_c_checksumFlag, 1);
            size = ZSTD_compress2(z, dst, out.size(), src, bytes.size());
            ok = !ZSTD_isError(size);
            ZSTD_freeCCtx(z);
            break;
        }
        case Packing::Bzip2: {
            auto n = static_cast<unsigned>(out.size());
            ok = BZ2_bzBuffToBuffCompress(out.data(), &n, const_cast<char*>(bytes.data()),
                                          static_cast<unsigned>(bytes.size()), 9, 0, 0) == BZ_OK;
            size = n;
            break;
        }
    }
    if (!ok) throw std::runtime_error("compression failed");
    out.resize(size);
    return out;
}

}  // namespace tarnimex::test
