#include "output_rows.h"

#include <cstdlib>
#include <cstring>
#include <new>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace tarnimex {

namespace {

// Chunks of whole huge pages where the system offers them: a few page faults
// instead of one per 4 KiB of rows.
char* NewChunk(std::size_t size) {
#if defined(__linux__)
    constexpr std::size_t kHuge = 2 << 20;
    if (size % kHuge == 0) {
        if (void* p = std::aligned_alloc(kHuge, size)) {
            madvise(p, size, MADV_HUGEPAGE);
            return static_cast<char*>(p);
        }
    }
#endif
    return static_cast<char*>(std::malloc(size));
}

}  // namespace

void OutputRows::Free::operator()(char* p) const { std::free(p); }

char* OutputRows::BeginRow(std::size_t maxLength) {
    const std::size_t needed = maxLength + 2;
    if (chunks_.empty() || chunks_.back().capacity - chunks_.back().size < needed) {
        // A row never spans chunks; an oversized row gets a chunk of its own.
        if (!chunks_.empty() && chunks_.back().size == 0) chunks_.pop_back();
        Chunk chunk;
        chunk.capacity = needed > kChunkSize ? needed : kChunkSize;
        chunk.data.reset(NewChunk(chunk.capacity));
        if (!chunk.data) throw std::bad_alloc();
        chunks_.push_back(std::move(chunk));
    }
    Chunk& chunk = chunks_.back();
    return chunk.data.get() + chunk.size;
}

void OutputRows::EndRow(char* end) {
    Chunk& chunk = chunks_.back();
    const std::size_t length = static_cast<std::size_t>(end - (chunk.data.get() + chunk.size));
    end[0] = '\r';
    end[1] = '\n';
    lastStart_ = chunk.size;
    chunk.size += length + 2;
    if (count_ == 0) firstLength_ = length;
    ++count_;
}

void OutputRows::Append(std::string_view row) {
    char* out = BeginRow(row.size());
    std::memcpy(out, row.data(), row.size());
    EndRow(out + row.size());
}

void OutputRows::RemoveLast() {
    if (count_ == 0) return;
    chunks_.back().size = lastStart_;
    --count_;
}

}  // namespace tarnimex
