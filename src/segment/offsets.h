// Boundary offsets handed on in batches: a scan writes every candidate into a
// small buffer and only moves on for the kept ones, with no branch per
// candidate, and passes each full buffer to a sink, which builds the result
// (a vector here, the list of ints in the binding) without a working copy of
// all the offsets.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace scrivlet::segment {

// Receives offsets in ascending order, a batch at a time; may throw.
class OffsetSink {
public:
    virtual void take(const std::uint64_t* offsets, std::size_t count) = 0;
    // An estimate of how many offsets the whole result will hold, which a
    // sink may use to size its storage once rather than by doubling; it
    // binds nothing, and a sink may ignore it.
    virtual void expect(std::size_t /*total*/) noexcept {}

protected:
    ~OffsetSink() = default;
};

class VectorSink final : public OffsetSink {
public:
    void take(const std::uint64_t* offsets, std::size_t count) override {
        out.insert(out.end(), offsets, offsets + count);
    }
    std::vector<std::uint64_t> out;
};

// The buffer is the caller's own array, apart from the batch object, so that
// the count stays in a register through the scan: only the array is seen by
// the sink.
//   std::uint64_t buffer[OffsetBatch::CAPACITY];
//   OffsetBatch out(sink, buffer);
// With Slack 0 the batch is handed on as soon as it is full. A scan that
// stores without a check per offset takes Slack > 0 instead, and calls
// block() after every Slack offsets or fewer.
template <std::size_t Slack>
class BasicOffsetBatch {
public:
    static constexpr std::size_t SIZE = 256;
    static constexpr std::size_t CAPACITY = SIZE + Slack;

    BasicOffsetBatch(OffsetSink& sink, std::uint64_t (&buffer)[CAPACITY]) noexcept : sink_(sink), buf_(buffer) {}
    BasicOffsetBatch(const BasicOffsetBatch&) = delete;
    BasicOffsetBatch& operator=(const BasicOffsetBatch&) = delete;

    [[gnu::always_inline]] void put_if(std::uint64_t offset, bool keep) {
        buf_[count_] = offset;
        count_ += keep;
        if constexpr (Slack == 0) {
            if (count_ == SIZE) [[unlikely]]
                flush();
        }
    }
    void put(std::uint64_t offset) { put_if(offset, true); }
    // For a scan that writes kept offsets itself, no more than it may put
    // between two calls of block(): where they go, then how many it wrote.
    std::uint64_t* tail() noexcept { return buf_ + count_; }
    void wrote(std::size_t count) noexcept { count_ += count; }
    void block() {
        if (count_ >= SIZE) flush();
    }
    // Hands on what is buffered; the scan calls it once at its end.
    void flush() {
        if (count_ > 0) sink_.take(buf_, count_);
        count_ = 0;
    }

private:
    OffsetSink& sink_;
    std::uint64_t* buf_;
    std::size_t count_ = 0;
};

using OffsetBatch = BasicOffsetBatch<0>;

}  // namespace scrivlet::segment
