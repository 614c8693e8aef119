#include "output_rows.h"

#include <cstring>

namespace tarnimex {

void OutputRows::Append(std::string_view row) {
    const std::size_t needed = row.size() + 2;
    if (chunks_.empty() || chunks_.back().capacity - chunks_.back().size < needed) {
        // A row never spans chunks; an oversized row gets a chunk of its own.
        if (!chunks_.empty() && chunks_.back().size == 0) chunks_.pop_back();
        Chunk chunk;
        chunk.capacity = needed > kChunkSize ? needed : kChunkSize;
        chunk.data.reset(new char[chunk.capacity]);
        chunks_.push_back(std::move(chunk));
    }
    Chunk& chunk = chunks_.back();
    lastStart_ = chunk.size;
    std::memcpy(chunk.data.get() + chunk.size, row.data(), row.size());
    chunk.data[chunk.size + row.size()] = '\r';
    chunk.data[chunk.size + row.size() + 1] = '\n';
    chunk.size += needed;
    if (count_ == 0) firstLength_ = row.size();
    ++count_;
}

void OutputRows::RemoveLast() {
    if (count_ == 0) return;
    chunks_.back().size = lastStart_;
    --count_;
}

}  // namespace tarnimex
