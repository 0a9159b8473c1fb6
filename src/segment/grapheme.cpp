#include "grapheme.h"

#include "../data/grapheme_break.h"
#include "cluster_walk.h"
#include "../utf8.h"

namespace scrivlet::segment {

using data::GraphemeBreakClass;
using G = GraphemeBreakClass;

namespace {

constexpr bool is_one_of(G c, G a) { return c == a; }
template <typename... Rest>
constexpr bool is_one_of(G c, G a, Rest... rest) {
    return c == a || is_one_of(c, rest...);
}

constexpr G NONE = static_cast<G>(0xFF);

// Whether the pair (prev, cur) joins inside a cluster. prev is never NONE:
// the first character of a cluster always joins (GB1/GB2 are the scan itself).
// before is the class before prev inside the cluster (NONE at its start),
// ri_run the count of consecutive RIs ending at prev, prev_cp the code point of prev.
inline bool joins(G before, G prev, G cur, unsigned ri_run, char32_t prev_cp) {
    switch (prev) {
        case G::CR:  // GB3, GB4
            return cur == G::LF;
        case G::LF:
        case G::Control:  // GB4
            return false;
        case G::RI:  // GB9, GB9a, GB12, GB13
            return is_one_of(cur, G::Extend, G::ZWJ, G::SpacingMark, G::Linker) ||
                   (cur == G::RI && (ri_run & 1));
        case G::L:  // GB6, GB9, GB9a
            return is_one_of(cur, G::L, G::V, G::LV, G::LVT, G::Extend, G::ZWJ, G::SpacingMark,
                             G::Linker);
        default:
            break;
    }
    // GB7, GB8
    if (is_one_of(prev, G::V, G::LV) && is_one_of(cur, G::V, G::T)) return true;
    if (is_one_of(prev, G::T, G::LVT) && cur == G::T) return true;
    // GB9, GB9a
    if (is_one_of(cur, G::Extend, G::ZWJ, G::SpacingMark)) return true;
    if (prev == G::ZWJ) {
        // GB11 with one character of look-back, not the whole emoji sequence
        if (cur == G::ExtPict) return is_one_of(before, G::Extend, G::ExtPict);
        // GB9c across a ZWJ, again with one character of look-back
        if (cur == G::Consonant && before != NONE)
            return is_one_of(before, G::Extend, G::Consonant, G::Linker);
        return cur == G::Linker;
    }
    if (prev == G::ExtPict) return cur == G::Linker;
    // GB9b (after GB5 for CR, LF and Control)
    if (prev == G::Prepend) return !is_one_of(cur, G::CR, G::LF, G::Control);
    // GB9: a Linker is an Extend character
    if (cur == G::Linker) return true;
    // GB9c with one character of look-back; the Balinese adeg adeg joins any consonant
    if (prev == G::Linker && cur == G::Consonant)
        return is_one_of(before, G::Extend, G::ZWJ, G::SpacingMark, G::Consonant, G::Linker) ||
               prev_cp == 0x1B44;
    // GB5, GB999
    return false;
}

}  // namespace

std::vector<std::uint64_t> grapheme_cluster_starts(std::string_view text) {
    std::vector<std::uint64_t> starts;
    starts.reserve(text.size() < 4096 ? text.size() : text.size() / 2);
    const auto* s = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t n = text.size();
    std::size_t pos = 0;
    G before = NONE, prev = NONE;
    char32_t prev_cp = 0;
    unsigned ri_run = 0;
    while (pos < n) {
        // Printable ASCII between printable ASCII (or the end) and anything but a
        // Prepend: a one-byte cluster that no rule can extend, the common case.
        const unsigned char b = s[pos];
        if (b >= 0x20 && b < 0x7F && prev != G::Prepend &&
            (pos + 1 == n || (s[pos + 1] >= 0x20 && s[pos + 1] < 0x7F))) {
            starts.push_back(pos);
            ++pos;
            prev = NONE;
            continue;
        }
        std::size_t len;
        const char32_t cp = utf8::decode(text, pos, len);
        const G cls = walk::class_of(cp);  // the two-stage table of planes 0 and 1
        if (prev == NONE || !joins(before, prev, cls, ri_run, prev_cp)) {
            starts.push_back(pos);
            before = NONE;
            ri_run = 0;
        } else {
            before = prev;
        }
        ri_run = cls == G::RI ? ri_run + 1 : 0;
        prev = cls;
        prev_cp = cp;
        pos += len;
    }
    return starts;
}

}  // namespace scrivlet::segment
