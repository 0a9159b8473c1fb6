// Grapheme cluster starts: ascending, inside the text, on code point starts,
// and independent of what precedes a cluster start.
#include "fuzz_common.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text = fuzz::to_utf8(data, size);
    const auto starts = scrivlet::segment::grapheme_cluster_starts(text);
    fuzz::check_boundaries(starts, text, false);
    // The scan restarts at every cluster start: the suffix from any start
    // segments to the same starts, shifted.
    if (starts.size() > 1) {
        const auto cut = starts[starts.size() / 2];
        const auto tail = scrivlet::segment::grapheme_cluster_starts(std::string_view(text).substr(cut));
        fuzz::check(tail.size() == starts.size() - starts.size() / 2, "suffix cluster count", text);
        for (std::size_t i = 0; i < tail.size(); ++i)
            fuzz::check(tail[i] + cut == starts[starts.size() / 2 + i], "suffix clusters", text);
    }
    return 0;
}
