// Bidi: one level per code point, levels within bounds, and the visual order
// a permutation of the code points that were not removed.
#include "bidi/mod.h"
#include "fuzz_common.h"

using namespace scrivlet::bidi;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text = fuzz::to_utf8(data, size);
    const BidiResult r = resolve_bidi(text);
    const std::size_t n = fuzz::code_point_count(text);
    fuzz::check(r.paragraph_level <= 1, "paragraph level 0 or 1", text);
    fuzz::check(r.levels.size() == n, "one level per code point", text);
    std::size_t kept = 0;
    for (auto level : r.levels) {
        fuzz::check(level <= 126 || level == REMOVED_LEVEL, "level in range", text);
        kept += level != REMOVED_LEVEL;
    }
    fuzz::check(r.visual_order.size() == kept, "visual order holds the kept code points", text);
    std::vector<bool> seen(n, false);
    for (auto i : r.visual_order) {
        fuzz::check(i < n && !seen[i] && r.levels[i] != REMOVED_LEVEL, "visual order is a permutation", text);
        seen[i] = true;
    }
    return 0;
}
