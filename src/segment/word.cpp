#include "word.h"

#include "offsets.h"
#include "word_scan.h"

namespace scrivlet::segment {

namespace {

// The boundaries stored without a branch each, and handed to the sink once
// at least SIZE are buffered, checked after each block of the scan: a block
// adds at most WORD_BLOCK, which the buffer has room for. The buffer is the
// caller's own array, apart from the batch, so that the count stays in a
// register through the scan: only the array is seen by the sink.
class BlockBatch {
public:
    static constexpr std::size_t SIZE = 256;
    static constexpr std::size_t CAPACITY = SIZE + WORD_BLOCK;

    BlockBatch(OffsetSink& sink, std::uint64_t (&buffer)[CAPACITY]) noexcept : sink_(sink), buf_(buffer) {}
    BlockBatch(const BlockBatch&) = delete;
    BlockBatch& operator=(const BlockBatch&) = delete;

    [[gnu::always_inline]] void put_if(std::uint64_t offset, bool keep) noexcept {
        buf_[count_] = offset;
        count_ += keep;
    }
    void block() {
        if (count_ >= SIZE) flush();
    }
    void flush() {
        if (count_ > 0) sink_.take(buf_, count_);
        count_ = 0;
    }

private:
    OffsetSink& sink_;
    std::uint64_t* buf_;
    std::size_t count_ = 0;
};

template <typename Units>
void boundary_offsets(const Units u, OffsetSink& sink) {
    std::uint64_t buffer[BlockBatch::CAPACITY];
    BlockBatch out(sink, buffer);
    out.put_if(0, true);
    scan_word_steps(
        u, 0, u.size(),
        [&](std::size_t, std::uint64_t offset, bool boundary) { out.put_if(offset, boundary); },
        [&] { out.block(); });
    out.flush();
}

}  // namespace

void word_boundary_offsets(std::string_view text, OffsetSink& sink) { boundary_offsets(units(text), sink); }

template <typename Unit>
void word_boundary_offsets(text::Fixed<Unit> text, OffsetSink& sink) {
    boundary_offsets(units(text), sink);
}

template void word_boundary_offsets(text::Latin1, OffsetSink&);
template void word_boundary_offsets(text::Ucs2, OffsetSink&);
template void word_boundary_offsets(text::Ucs4, OffsetSink&);

std::vector<std::uint64_t> word_boundary_offsets(std::string_view text) {
    VectorSink sink;
    word_boundary_offsets(text, sink);
    return std::move(sink.out);
}

template <typename Unit>
std::vector<std::uint64_t> word_boundary_offsets(text::Fixed<Unit> text) {
    VectorSink sink;
    word_boundary_offsets(text, sink);
    return std::move(sink.out);
}

template std::vector<std::uint64_t> word_boundary_offsets(text::Latin1);
template std::vector<std::uint64_t> word_boundary_offsets(text::Ucs2);
template std::vector<std::uint64_t> word_boundary_offsets(text::Ucs4);

namespace word_data {
namespace {
constexpr std::array<WordBreak, 0x10000> WORD_BREAK_BMP_VALUES = build_bmp_table();
}  // namespace
constinit const std::array<std::uint8_t, 0x10000> WORD_BREAK_PACKED_BMP =
    pack_bmp_table(WORD_BREAK_BMP_VALUES);
namespace {
constexpr std::array<std::uint8_t, 0x1000> PICTOGRAPH_BLOCK = build_packed_supplementary_block(0x1F000);
constexpr std::array<std::uint8_t, 0x1000> VARIATION_BLOCK = build_packed_supplementary_block(0xE0000);
constexpr std::array<std::uint8_t, 0x1000> OTHER_BLOCK = build_packed_supplementary_block(0x10000);

constexpr std::array<const std::uint8_t*, BLOCK_COUNT + 1> build_blocks() {
    std::array<const std::uint8_t*, BLOCK_COUNT + 1> t{};
    for (std::uint32_t b = 0; b <= BLOCK_COUNT; ++b)
        t[b] = b < 0x10   ? WORD_BREAK_PACKED_BMP.data() + b * 0x1000
               : b == 0x1F ? PICTOGRAPH_BLOCK.data()
               : b == 0xE0 ? VARIATION_BLOCK.data()
                           : OTHER_BLOCK.data();
    return t;
}
}  // namespace
constinit const std::array<const std::uint8_t*, BLOCK_COUNT + 1> WORD_BREAK_PACKED_BLOCKS =
    build_blocks();
}  // namespace word_data

}  // namespace scrivlet::segment
