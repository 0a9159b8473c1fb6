#include "word.h"

#include "offsets.h"
#include "word_scan.h"

namespace scrivlet::segment {

namespace {

template <typename Units>
void boundary_offsets(const Units u, OffsetSink& sink) {
    std::uint64_t buffer[OffsetBatch::SIZE];
    OffsetBatch out(sink, buffer);
    out.put(0);
    scan_word_steps(u, 0, u.size(), [&](std::size_t, std::uint64_t offset, bool boundary) {
        out.put_if(offset, boundary);
    });
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
constinit const std::array<WordBreak, 0x10000> WORD_BREAK_BMP = build_bmp_table();
}  // namespace word_data

}  // namespace scrivlet::segment
