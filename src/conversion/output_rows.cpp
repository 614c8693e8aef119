#include "output_rows.h"

#include <cstring>

namespace tarnimex {

char* OutputRows::BeginRow(std::size_t maxLength) {
    const std::size_t needed = maxLength + 2;
    if (chunks_.empty() || chunks_.back().capacity - chunks_.back().size < needed) {
        // A row never spans chunks; an oversized row gets a chunk of its own.
        if (!chunks_.empty() && chunks_.back().size == 0) chunks_.pop_back();
        Chunk chunk;
        chunk.capacity = needed > kChunkSize ? needed : kChunkSize;
        chunk.data.reset(new char[chunk.capacity]);
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
