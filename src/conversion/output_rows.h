// The CSV data rows of one log, held until reading ends. Rows live in large
// chunks that are never moved, so memory stays close to the CSV's own size and
// no row is copied twice. Only the last row can be taken back, and the summary
// goes behind the first row when the file is written.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

namespace tarnimex {

class OutputRows {
public:
    static constexpr std::size_t kChunkSize = 2 << 20;

    void Append(std::string_view row);  // without its line end
    // A row written in place: room for maxLength bytes, then EndRow at its end.
    char* BeginRow(std::size_t maxLength);
    void EndRow(char* end);
    void RemoveLast();
    bool Empty() const { return count_ == 0; }
    std::int64_t Count() const { return count_; }

    // Every row with CR LF, the header before the first and the summary
    // appended to the first. Returns false on a write error.
    template <typename Write>
    bool WriteAll(std::string_view header, std::string_view summary, Write&& write) const {
        if (count_ == 0) return true;
        const Chunk& head = chunks_.front();
        if (!write(header) || !write("\r\n") || !write({head.data.get(), firstLength_}) ||
            !write(summary)) {
            return false;
        }
        for (std::size_t i = 0; i < chunks_.size(); ++i) {
            const Chunk& chunk = chunks_[i];
            const std::size_t skip = i == 0 ? firstLength_ : 0;
            if (chunk.size > skip && !write({chunk.data.get() + skip, chunk.size - skip})) return false;
        }
        return true;
    }

private:
    struct Free {
        void operator()(char* p) const;
    };
    struct Chunk {
        std::unique_ptr<char[], Free> data;
        std::size_t size = 0;
        std::size_t capacity = 0;
    };
    std::vector<Chunk> chunks_;
    std::size_t lastStart_ = 0;    // offset of the last row in the last chunk
    std::size_t firstLength_ = 0;  // the first row's length, without CR LF
    std::int64_t count_ = 0;
};

}  // namespace tarnimex
