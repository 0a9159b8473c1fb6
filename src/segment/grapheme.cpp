#include "grapheme.h"

#include <array>

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
constexpr bool joins(G before, G prev, G cur, unsigned ri_run, char32_t prev_cp) {
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

// For each pair (prev, cur) of classes: whether it breaks, joins, or depends on
// the rest of the scan state (the class before prev, the regional indicator
// count, the code point of prev), decided once from joins itself. Row NO_PREV
// stands for the first character of the text, which always starts a cluster.
enum class Pair : std::uint8_t { Break, Join, Depends };
constexpr unsigned CLASS_COUNT = 17;
constexpr unsigned NO_PREV = CLASS_COUNT;

constexpr std::array<std::array<Pair, CLASS_COUNT>, CLASS_COUNT + 1> build_pairs() {
    std::array<std::array<Pair, CLASS_COUNT>, CLASS_COUNT + 1> t{};
    for (unsigned p = 0; p < CLASS_COUNT; ++p)
        for (unsigned c = 0; c < CLASS_COUNT; ++c) {
            bool seen_join = false, seen_break = false;
            for (unsigned b = 0; b <= CLASS_COUNT; ++b)
                for (unsigned ri = 0; ri < 2; ++ri)
                    for (char32_t cp : {char32_t(0), char32_t(0x1B44)}) {
                        const G before = b == CLASS_COUNT ? NONE : static_cast<G>(b);
                        (joins(before, static_cast<G>(p), static_cast<G>(c), ri, cp) ? seen_join
                                                                                      : seen_break) = true;
                    }
            t[p][c] = seen_join && seen_break ? Pair::Depends : seen_join ? Pair::Join : Pair::Break;
        }
    for (auto& c : t[NO_PREV]) c = Pair::Break;
    return t;
}

constexpr auto PAIRS = build_pairs();

// Only a ZWJ, a Linker or a regional indicator leaves a pair to the scan state,
// and what precedes a ZWJ or a Linker never does: the local decision below
// relies on both.
constexpr bool pairs_depend_only_after_zwj_linker_ri() {
    for (unsigned p = 0; p < CLASS_COUNT; ++p)
        for (unsigned c = 0; c < CLASS_COUNT; ++c) {
            const bool depends = PAIRS[p][c] == Pair::Depends;
            const G prev = static_cast<G>(p), cur = static_cast<G>(c);
            if (depends && !is_one_of(prev, G::ZWJ, G::Linker, G::RI)) return false;
            if (depends && is_one_of(cur, G::ZWJ, G::Linker)) return false;
        }
    return true;
}
static_assert(pairs_depend_only_after_zwj_linker_ri());

// Calls on_code_point(offset, starts_a_cluster) for every code point, in order;
// the decision is computed without a branch where the pair alone decides.
template <typename OnCodePoint>
inline void scan_clusters(std::string_view text, OnCodePoint&& on_code_point) {
    const auto* s = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t n = text.size();
    std::size_t pos = 0;
    G before = NONE;
    unsigned prev = NO_PREV;
    char32_t prev_cp = 0;
    unsigned ri_run = 0;
    while (pos < n) {
        // Printable ASCII between printable ASCII (or the end) and anything but a
        // Prepend: a one-byte cluster that no rule can extend, the common case.
        const unsigned char b = s[pos];
        if (b >= 0x20 && b < 0x7F && prev != static_cast<unsigned>(G::Prepend) &&
            (pos + 1 == n || (s[pos + 1] >= 0x20 && s[pos + 1] < 0x7F))) {
            on_code_point(pos, true);
            ++pos;
            prev = NO_PREV;
            continue;
        }
        std::size_t len;
        char32_t cp;
        if (b >= 0xE0 && b < 0xF0 && pos + 3 <= n) {  // most scripts: three bytes
            cp = (char32_t(b & 0x0F) << 12) | (char32_t(s[pos + 1] & 0x3F) << 6) |
                 (s[pos + 2] & 0x3F);
            len = 3;
        } else {
            cp = utf8::decode(text, pos, len);
        }
        const G cls = walk::class_of(cp);  // the two-stage table of planes 0 and 1
        const Pair pair = PAIRS[prev][static_cast<unsigned>(cls)];
        bool start = pair == Pair::Break;
        if (pair == Pair::Depends) [[unlikely]]
            start = !joins(before, static_cast<G>(prev), cls, ri_run, prev_cp);
        on_code_point(pos, start);
        before = start ? NONE : static_cast<G>(prev);
        ri_run = cls == G::RI ? (start ? 0 : ri_run) + 1 : 0;
        prev = static_cast<unsigned>(cls);
        prev_cp = cp;
        pos += len;
    }
}

}  // namespace

std::vector<std::uint64_t> grapheme_cluster_starts(std::string_view text) {
    std::vector<std::uint64_t> starts;  // grown as needed: one long cluster needs one entry
    scan_clusters(text, [&](std::size_t pos, bool start) {
        if (start) starts.push_back(pos);
    });
    return starts;
}

void mark_cluster_starts(std::string_view text, std::uint8_t* flags) noexcept {
    scan_clusters(text, [&](std::size_t pos, bool start) { flags[pos] |= start; });
}

std::optional<bool> local_cluster_start(std::string_view text, std::size_t p) noexcept {
    std::size_t len;
    const G cur = walk::class_of(utf8::decode(text, p, len));
    const std::size_t x = utf8::floor_to_code_point(text, p - 1);
    const char32_t x_cp = utf8::decode(text, x, len);
    const G prev = walk::class_of(x_cp);
    const Pair pair = PAIRS[static_cast<unsigned>(prev)][static_cast<unsigned>(cur)];
    if (pair != Pair::Depends) return pair == Pair::Break;
    if (prev == G::RI) return std::nullopt;  // the parity of the whole run of them decides
    // A ZWJ or a Linker joins whatever precedes it but CR, LF and Control, so
    // the class before it inside its cluster is that of the code point before
    // it, unless that pair breaks or there is none.
    G before = NONE;
    if (x > 0) {
        const G y = walk::class_of(utf8::decode(text, utf8::floor_to_code_point(text, x - 1), len));
        if (PAIRS[static_cast<unsigned>(y)][static_cast<unsigned>(prev)] == Pair::Join) before = y;
    }
    return !joins(before, prev, cur, 0, x_cp);
}

}  // namespace scrivlet::segment
