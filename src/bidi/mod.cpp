// The bidirectional algorithm (UAX #9) for one paragraph: P2/P3, X1-X10,
// W1-W7, N0-N2, I1/I2, L1 and L2.
//
// Deliberate differences from the standard: the whole text is one paragraph
// (P1 is not applied, so a B neither ends the paragraph nor resets the stack),
// the text is one line, and L3/L4 are not applied.
#include "mod.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <bit>
#include <cstring>
#include <memory>
#include <type_traits>
#include <utility>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#define SCRIVLET_AVX2_DISPATCH 1
#endif

#include "../data/normalization.h"
#include "../error.h"
#include "../text.h"
#include "../utf8.h"
#include "classes.h"
#include "reorder.h"

namespace scrivlet::bidi {

using data::BidiClass;
using enum data::BidiClass;

namespace {

constexpr std::uint32_t NONE = 0xFFFFFFFF;
constexpr std::size_t MAX_DEPTH = 125;
constexpr std::size_t STACK_SIZE = 127;
constexpr std::size_t BRACKET_STACK_SIZE = 63;

constexpr std::uint8_t u(BidiClass c) { return static_cast<std::uint8_t>(c); }
constexpr std::uint32_t bit(BidiClass c) { return std::uint32_t(1) << u(c); }

constexpr bool is_strong(BidiClass c) { return u(c) < 3; }  // L, R, AL
constexpr bool is_isolate_initiator(BidiClass c) { return u(c) >= u(LRI) && u(c) <= u(FSI); }
constexpr bool is_isolate_control(BidiClass c) { return u(c) >= u(LRI); }  // LRI, RLI, FSI, PDI

constexpr std::uint32_t NI_MASK =
    bit(B) | bit(S) | bit(WS) | bit(ON) | bit(LRI) | bit(RLI) | bit(FSI) | bit(PDI);
// The code points that may pair as brackets: the brackets, and those whose
// canonical decomposition is a single bracket. All lie in the BMP, one bit
// each: the other ON code points (quotes, dashes, CJK punctuation) are passed
// over without a search.
struct BracketSet {
    std::array<std::uint64_t, 1024> bits{};
    bool beyond_bmp = false;  // one lies outside the BMP, which the bits do not cover
    constexpr void add(char32_t cp) {
        if (cp >= 0x10000)
            beyond_bmp = true;
        else
            bits[cp >> 6] |= std::uint64_t(1) << (cp & 63);
    }
    constexpr bool holds(char32_t cp) const { return cp < 0x10000 && ((bits[cp >> 6] >> (cp & 63)) & 1); }
};
constexpr BracketSet BRACKETS = [] {
    BracketSet t;
    for (const auto& p : data::BIDI_BRACKET_PAIRS) t.add(p.first), t.add(p.second);
    for (const auto& p : data::BIDI_CLOSING_TO_OPENING) t.add(p.first), t.add(p.second);
    BracketSet with_singletons = t;
    for (const auto& d : data::CANONICAL_DECOMPOSITION)
        if (d.length == 1 && t.holds(data::CANONICAL_DECOMPOSITION_POOL[d.offset])) with_singletons.add(d.code_point);
    return with_singletons;
}();
static_assert(!BRACKETS.beyond_bmp);
// Each of them is ON: where W1-W7 make a code point ON (W1 after an isolate
// control, W6), it is no bracket.
constexpr bool brackets_are_on() {
    for (std::size_t w = 0; w < BRACKETS.bits.size(); ++w)
        for (std::uint64_t bits = BRACKETS.bits[w]; bits != 0; bits &= bits - 1)
            if (data::detail::BMP_BIDI_CLASSES[w * 64 + std::size_t(std::countr_zero(bits))] != BidiClass::ON)
                return false;
    return true;
}
static_assert(brackets_are_on());
static_assert(BRACKETS.holds(0x28) && BRACKETS.holds(0x2329) && !BRACKETS.holds(0x201C));

inline bool may_be_bracket(char32_t cp) { return BRACKETS.holds(cp); }

// How an ASCII code point pairs, from the same tables: parentheses, square
// and curly brackets are the common ones, found here without a search.
struct AsciiPairing {
    std::uint8_t kind;  // 0 none, 1 opening, 2 closing
    char32_t opening;   // of a closing one; 0 when the tables give none
};
constexpr std::array<AsciiPairing, 128> ASCII_PAIRING = [] {
    std::array<AsciiPairing, 128> t{};
    for (const auto& r : data::BIDI_CLOSING_BRACKETS)
        for (char32_t cp = r.first; cp <= r.last && cp < 0x80; ++cp) {
            const std::size_t i = data::detail::find_pair(data::BIDI_CLOSING_TO_OPENING, cp);
            t[cp] = {2, i == std::size(data::BIDI_CLOSING_TO_OPENING) ? 0 : data::BIDI_CLOSING_TO_OPENING[i].second};
        }
    for (const auto& p : data::BIDI_BRACKET_PAIRS)
        if (p.first < 0x80) t[p.first] = {1, 0};
    return t;
}();
static_assert(ASCII_PAIRING[')'].kind == 2 && ASCII_PAIRING[')'].opening == '(' && ASCII_PAIRING['['].kind == 1);

constexpr std::uint32_t EXPLICIT_MASK = bit(LRE) | bit(RLE) | bit(LRO) | bit(RLO) | bit(PDF) |
                                        bit(LRI) | bit(RLI) | bit(FSI) | bit(PDI);
constexpr std::uint32_t REMOVED_MASK = bit(BN) | bit(LRE) | bit(RLE) | bit(LRO) | bit(RLO) | bit(PDF);
constexpr bool is_ni(BidiClass c) { return (NI_MASK >> u(c)) & 1; }

// Classes whose presence can move anything off level 0 (with P2/P3 run).
constexpr std::uint32_t NOT_TRIVIAL_MASK = bit(R) | bit(AL) | bit(AN) | bit(LRE) | bit(RLE) |
                                           bit(LRO) | bit(RLO) | bit(PDF) | bit(LRI) | bit(RLI) |
                                           bit(FSI) | bit(PDI);

// I1 and I2: what a resolved class adds to an even (row 0) or odd (row 1) level.
constexpr std::array<std::array<std::uint8_t, 23>, 2> IMPLICIT_RAISE = [] {
    std::array<std::array<std::uint8_t, 23>, 2> t{};
    t[0][u(R)] = 1;   // I1
    t[0][u(EN)] = 2;  // I1
    t[0][u(AN)] = 2;  // I1
    t[1][u(L)] = 1;   // I2
    t[1][u(EN)] = 1;  // I2
    t[1][u(AN)] = 1;  // I2
    return t;
}();

// Direction of a resolved class for N0, N1 and N2: 0 = L, 1 = R, 2 = none.
// Two bits per class in one word: a shift, where a switch mispredicts on
// text that alternates letters and spaces.
constexpr std::uint64_t STRONG_DIRECTIONS = [] {
    std::uint64_t t = 0;
    for (unsigned c = 0; c <= u(PDI); ++c) {
        const BidiClass k = static_cast<BidiClass>(c);
        const std::uint64_t d = k == L ? 0 : (k == R || k == AL || k == EN || k == AN) ? 1 : 2;
        t |= d << (2 * c);
    }
    return t;
}();
constexpr std::uint8_t strong_direction(BidiClass c) {
    return static_cast<std::uint8_t>((STRONG_DIRECTIONS >> (2 * u(c))) & 3);
}

constexpr BidiClass direction_class(unsigned d) { return d ? R : L; }

// strong_direction as a set: bit 0 for L, bit 1 for R, none for neither.
constexpr std::uint64_t DIRECTION_BITS = [] {
    std::uint64_t t = 0;
    for (unsigned c = 0; c <= u(PDI); ++c) {
        const std::uint64_t d = strong_direction(static_cast<BidiClass>(c));
        t |= (d == 2 ? 0 : std::uint64_t(1) << d) << (2 * c);
    }
    return t;
}();
constexpr unsigned direction_bits(BidiClass c) { return unsigned(DIRECTION_BITS >> (2 * u(c))) & 3; }

// The first position from j on (below end) whose class is not in Set, when
// Inside, or is in Set otherwise. Sixteen classes at a time with SSE2, one
// unsigned range test per run of consecutive classes in Set, from the first:
// a stretch of a word's length then ends in the first block, a branch taken
// alike each time, where a loop per class mispredicts its exit at each word.
#if defined(__SSE2__)
// The last class of the run of Set that starts at first.
constexpr unsigned run_end(std::uint32_t set, unsigned first) {
    while (first + 1 < 32 && ((set >> (first + 1)) & 1)) ++first;
    return first;
}

template <std::uint32_t Set, std::size_t... K>
__m128i in_set(__m128i v, std::index_sequence<K...>) {
    __m128i in = _mm_setzero_si128();
    auto run = [&](unsigned first, unsigned last) {
        // v - first, wrapping, is at most last - first exactly inside the run.
        const __m128i d = _mm_sub_epi8(v, _mm_set1_epi8(char(first)));
        in = _mm_or_si128(in, _mm_cmpeq_epi8(_mm_min_epu8(d, _mm_set1_epi8(char(last - first))), d));
    };
    ((((Set >> K) & 1) && (K == 0 || !((Set >> (K == 0 ? 0 : K - 1)) & 1)) ? run(K, run_end(Set, K)) : void()), ...);
    return in;
}
#endif

template <std::uint32_t Set, bool Inside>
std::size_t skip_classes(const BidiClass* c, std::size_t j, std::size_t end) {
#if defined(__SSE2__)
    for (; j + 16 <= end; j += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(c + j));
        const __m128i in = in_set<Set>(v, std::make_index_sequence<u(PDI) + 1>());
        unsigned stop = unsigned(_mm_movemask_epi8(in));
        if (Inside) stop = ~stop & 0xFFFF;
        if (stop) return j + std::size_t(std::countr_zero(stop));
    }
#endif
    while (j < end && (((Set >> u(c[j])) & 1) == Inside)) ++j;
    return j;
}

// The first position from j on (below end) whose class is C.
template <BidiClass C>
std::size_t find_class(const BidiClass* c, std::size_t j, std::size_t end) {
#if defined(__SSE2__)
    for (; j + 16 <= end; j += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(c + j));
        const unsigned hit = unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(v, _mm_set1_epi8(char(u(C))))));
        if (hit) return j + std::size_t(std::countr_zero(hit));
    }
#endif
    while (j < end && c[j] != C) ++j;
    return j;
}

// The last position after from (below to) whose class is strong, or from if
// there is none. Sixteen classes at a time, backwards, with SSE2: the last
// letter of a stretch of words is found without a branch per class.
inline std::size_t last_strong_after(const BidiClass* c, std::size_t from, std::size_t to) {
#if defined(__SSE2__)
    static_assert(u(L) < 3 && u(R) < 3 && u(AL) < 3 && u(PDI) < 128);
    while (to >= 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(c + to - 16));
        unsigned strong = unsigned(_mm_movemask_epi8(_mm_cmplt_epi8(v, _mm_set1_epi8(3))));
        if (to - from <= 16) {
            strong &= ~0u << (from + 17 - to);  // only those after from
            return strong ? to - 17 + std::size_t(std::bit_width(strong)) : from;
        }
        if (strong) return to - 17 + std::size_t(std::bit_width(strong));
        to -= 16;
    }
#endif
    while (--to > from)
        if (is_strong(c[to])) return to;
    return from;
}

// The first position from j on (below end) whose level is not level.
inline std::size_t skip_level(const std::uint8_t* levels, std::size_t j, std::size_t end,
                              std::uint8_t level) {
#if defined(__SSE2__)
    const __m128i want = _mm_set1_epi8(char(level));
    for (; j + 16 <= end; j += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(levels + j));
        const unsigned stop = ~unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(v, want))) & 0xFFFF;
        if (stop) return j + std::size_t(std::countr_zero(stop));
    }
#endif
    while (j < end && levels[j] == level) ++j;
    return j;
}

// The strong directions among the classes in [from, to), as direction_bits.
inline unsigned directions_in(const BidiClass* c, std::size_t from, std::size_t to) {
    unsigned found = 0;
#if defined(__SSE2__)
    constexpr std::uint32_t RIGHT = bit(R) | bit(AL) | bit(EN) | bit(AN);
    static_assert((DIRECTION_BITS & 0x5555555555555555ull) == std::uint64_t(1) << (2 * u(L)));
    static_assert((DIRECTION_BITS & 0xAAAAAAAAAAAAAAAAull) ==
                  ((std::uint64_t(2) << (2 * u(R))) | (std::uint64_t(2) << (2 * u(AL))) |
                   (std::uint64_t(2) << (2 * u(EN))) | (std::uint64_t(2) << (2 * u(AN)))));
    for (; from + 16 <= to && found != 3; from += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(c + from));
        found |= unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(v, _mm_set1_epi8(char(u(L))))) != 0);
        found |= unsigned(_mm_movemask_epi8(in_set<RIGHT>(v, std::make_index_sequence<u(PDI) + 1>())) != 0) << 1;
    }
#endif
    for (; from < to; ++from) found |= direction_bits(c[from]);
    return found;
}

struct StatusEntry {
    std::uint8_t isolate;   // 0 or 1
    std::uint8_t override;  // 0 neutral, 1 left-to-right, 2 right-to-left
    std::uint8_t level;
};

struct LevelRun {
    std::uint32_t first;  // index of its first code point
    std::uint32_t last;   // index of its last code point (removed ones in between are skipped)
    std::uint8_t level;
    bool holds_removed;   // a removed code point lies between first and last
};

// A stretch of kept code points in a sequence that is not one stretch.
struct Piece {
    std::uint32_t first;  // index of its first code point
    std::uint32_t start;  // its first position in the sequence
    std::uint32_t size;
};

// A code point that may pair as a bracket, and where it lies in the text.
struct ListedBracket {
    std::uint32_t at;
    char32_t cp;
};

struct Sequence {
    std::uint32_t runs_begin, runs_end;  // into the flat list of run numbers
    BidiClass sos, eos;
};

// P2, P3: the first strong class outside isolates decides; B does not stop the scan.
std::uint8_t paragraph_level_of(const BidiClass* classes, std::size_t n) {
    std::size_t depth = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const BidiClass c = classes[i];
        if (is_isolate_initiator(c)) {
            ++depth;
        } else if (c == PDI) {
            if (depth > 0) --depth;
        } else if (depth == 0 && is_strong(c)) {
            return c == L ? 0 : 1;
        }
    }
    return 0;
}

template <typename CodePoint>
class Resolver {
public:
    Resolver(const BidiClass* classes, const CodePoint* cps, std::size_t n, std::uint8_t paragraph,
             std::uint32_t present, const std::vector<ListedBracket>* brackets)
        : input_(classes), cps_(cps), n_(n), paragraph_(paragraph), present_(present), brackets_(brackets) {}

    // Fills in out's levels, in the room they already have.
    void run(BidiLayout& out) {
        out.paragraph_level = paragraph_;
        working_.assign(input_, input_ + n_);
        levels_ = std::move(out.levels);
        levels_.assign(n_, paragraph_);
        if (present_ & (bit(LRI) | bit(RLI) | bit(FSI) | bit(PDI))) match_isolates();
        explicit_levels();
        remove_controls();
        if (present_ & EXPLICIT_MASK) {
            level_runs();
            isolating_run_sequences();
            for (const Sequence& s : sequences_) resolve_sequence(s);
        } else {
            // No explicit control: one level run at the paragraph level, one
            // sequence, sos and eos both the paragraph direction.
            const BidiClass d = direction_class(paragraph_ & 1);
            if (present_ & REMOVED_MASK) {
                pieces_.clear();
                add_pieces(0, n_);
                resolve_pieces(d, d);
            } else {
                resolve_at(Span{0}, working_.data(), levels_.data(), n_, present_ | bit(L) | bit(R), d, d);
            }
        }
        line_whitespace();
        out.levels = std::move(levels_);
    }

private:
    const BidiClass* input_;
    const CodePoint* cps_;
    std::size_t n_;
    std::uint8_t paragraph_;
    std::uint32_t present_;
    // When not null, every position whose code point may pair as a bracket,
    // in order, with its code point: the bracket pass visits those rather
    // than reading the code point of each ON from the text.
    const std::vector<ListedBracket>* brackets_;

    std::vector<BidiClass> working_;
    std::vector<std::uint8_t> levels_;
    // BD9: the matching PDI of an initiator; for a matched PDI, its initiator
    // until the level runs are known, then the number of its run (only
    // whether a PDI is matched is asked after that).
    std::vector<std::uint32_t> match_;
    std::vector<std::uint8_t> fsi_rtl_;  // per FSI: its content starts right-to-left
    std::vector<LevelRun> runs_;
    std::vector<std::uint32_t> sequence_runs_;
    std::vector<Sequence> sequences_;

    // Per-sequence buffers, reused from one sequence to the next: the
    // sequence's stretches of kept code points when it is not one, with their
    // classes and levels side by side.
    std::vector<Piece> pieces_;
    std::vector<BidiClass> c_;
    std::vector<std::uint8_t> lv_;
    // Whether the sequence holds marks, and which positions were NSM before
    // W1: kept only when overrides may have changed an NSM (else the input
    // class says).
    bool marks_ = false;
    std::vector<std::uint8_t> was_nsm_;
    BidiClass* c_view_ = nullptr;         // the classes being resolved
    std::size_t m_ = 0;
    struct OpenBracket {
        std::uint32_t at;
        char32_t bracket;
        std::uint32_t number;  // openings pushed before it
    };
    std::vector<OpenBracket> bracket_stack_;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> pairs_;
    std::vector<std::uint32_t> pair_numbers_;  // per pair: the number of its opening
    std::vector<std::uint32_t> slots_;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> sorted_pairs_;
    std::vector<std::uint8_t> inside_;  // per pair: bit d set when direction d occurs inside

    bool removed(std::size_t i) const { return levels_[i] == REMOVED_LEVEL; }

    // BD9, with an unbounded stack over the input classes. The same walk
    // settles every FSI (X5c): its direction is that of the first strong class
    // met while it is the innermost open initiator, L if there is none before
    // its matching PDI or the end. This is the FSI look-ahead done once for
    // all FSIs instead of rescanning to each one's PDI.
    void match_isolates() {
        match_.assign(n_, NONE);
        const bool any_fsi = present_ & bit(FSI);
        if (any_fsi) fsi_rtl_.assign(n_, 0);
        struct Open {
            std::uint32_t index;
            bool undecided;  // an FSI whose direction is not known yet
        };
        std::vector<Open> open;
        // The classes to look at: the isolate controls, and the strong ones
        // while the innermost open initiator is an undecided FSI.
        constexpr std::uint32_t CONTROLS = bit(LRI) | bit(RLI) | bit(FSI) | bit(PDI);
        constexpr std::uint32_t STRONG = bit(L) | bit(R) | bit(AL);
        std::uint32_t wanted = CONTROLS;
        for (std::size_t i = 0; i < n_; ++i) {
            const BidiClass c = input_[i];
            if (!((wanted >> u(c)) & 1)) continue;
            if (is_isolate_initiator(c)) {
                open.push_back({std::uint32_t(i), c == FSI});
            } else if (c == PDI) {
                if (!open.empty()) {
                    const std::uint32_t j = open.back().index;
                    match_[j] = std::uint32_t(i);
                    match_[i] = j;
                    open.pop_back();
                }
            } else {
                fsi_rtl_[open.back().index] = c != L;
                open.back().undecided = false;
            }
            wanted = CONTROLS | (any_fsi && !open.empty() && open.back().undecided ? STRONG : 0);
        }
    }

    // X1-X8.
    void explicit_levels() {
        if (!(present_ & (bit(LRE) | bit(RLE) | bit(LRO) | bit(RLO) | bit(PDF) | bit(LRI) |
                          bit(RLI) | bit(FSI) | bit(PDI))))
            return;  // X1: every level is the paragraph level already
        std::array<StatusEntry, STACK_SIZE> stack;
        std::size_t depth = 0;  // entries in use
        stack[depth++] = {0, 0, paragraph_};
        std::uint32_t overflow_isolates = 0, overflow_embeddings = 0, valid_isolates = 0;

        auto apply_override = [&](std::size_t i) {
            const std::uint8_t o = stack[depth - 1].override;
            if (o) working_[i] = o == 1 ? L : R;
        };
        auto push = [&](bool rtl, std::uint8_t isolate, std::uint8_t override) -> bool {
            const std::uint8_t top = stack[depth - 1].level;
            // Least odd (RLE, RLO, RLI) or least even (LRE, LRO, LRI) level above the top.
            const unsigned level = rtl ? ((top + 1) | 1) : ((top & ~1u) + 2);
            if (level <= MAX_DEPTH && overflow_isolates == 0 && overflow_embeddings == 0) {
                if (depth >= STACK_SIZE) throw InvariantError("bidi: status stack overflow");
                stack[depth++] = {isolate, override, std::uint8_t(level)};
                return true;
            }
            return false;
        };

        // The classes X1-X8 treat one by one; every other code point takes the
        // level and override of the top of the stack (X6, BN included), so a
        // stretch of them is filled at once.
        // BN too, for X9 in the same pass.
        constexpr std::uint32_t SPECIAL = bit(B) | bit(BN) | EXPLICIT_MASK;
        for (std::size_t i = 0; i < n_; ++i) {
            if (!((SPECIAL >> u(input_[i])) & 1)) {
                const std::size_t end = skip_classes<SPECIAL, false>(input_, i + 1, n_);
                const StatusEntry& top = stack[depth - 1];
                if (top.level != paragraph_)
                    std::memset(levels_.data() + i, top.level, end - i);
                if (top.override) std::memset(working_.data() + i, u(top.override == 1 ? L : R), end - i);
                i = end - 1;
                continue;
            }
            switch (input_[i]) {
                case B:
                    levels_[i] = paragraph_;  // no P1: the stack stays as it is
                    break;
                case BN:
                    remove(i);
                    break;
                case RLE:  // X2
                case LRE:  // X3
                case RLO:  // X4
                case LRO:  // X5
                {
                    const BidiClass c = input_[i];
                    const bool rtl = c == RLE || c == RLO;
                    const std::uint8_t override = c == LRO ? 1 : c == RLO ? 2 : 0;
                    if (!push(rtl, 0, override) && overflow_isolates == 0) ++overflow_embeddings;
                    remove(i);
                    break;
                }
                case RLI:  // X5a
                case LRI:  // X5b
                case FSI:  // X5c
                {
                    levels_[i] = stack[depth - 1].level;
                    apply_override(i);
                    const BidiClass c = input_[i];
                    const bool rtl = c == RLI || (c == FSI && fsi_rtl_[i]);
                    if (push(rtl, 1, 0))
                        ++valid_isolates;
                    else
                        ++overflow_isolates;
                    break;
                }
                case PDI:  // X6a
                    if (overflow_isolates > 0) {
                        --overflow_isolates;
                    } else if (valid_isolates > 0) {
                        overflow_embeddings = 0;
                        while (depth > 1) {
                            const bool was_isolate = stack[--depth].isolate;
                            if (was_isolate) break;
                        }
                        --valid_isolates;
                    }
                    levels_[i] = stack[depth - 1].level;
                    apply_override(i);
                    break;
                case PDF:  // X7
                    if (overflow_isolates > 0) {
                    } else if (overflow_embeddings > 0) {
                        --overflow_embeddings;
                    } else if (stack[depth - 1].isolate == 0 && depth >= 2) {
                        --depth;
                    }
                    remove(i);
                    break;
                default:
                    break;
            }
        }
    }

    // X9.
    void remove(std::size_t i) {
        levels_[i] = REMOVED_LEVEL;
        working_[i] = BN;
    }

    // X9 for BN when X1-X8 had nothing to do; otherwise they removed every
    // control already.
    void remove_controls() {
        if (!(present_ & bit(BN)) || (present_ & EXPLICIT_MASK)) return;
        for (std::size_t i = 0; i < n_; ++i)
            if (input_[i] == BN) remove(i);
    }

    // BD7: removed code points never split a run.
    void level_runs() {
        std::size_t i = 0;
        while (i < n_ && removed(i)) ++i;
        while (i < n_) {
            const std::uint8_t level = levels_[i];
            LevelRun run{std::uint32_t(i), std::uint32_t(i), level, false};
            const std::uint32_t number = std::uint32_t(runs_.size());
            std::size_t j = i + 1;
            while (true) {
                j = skip_level(levels_.data(), j, n_, level);
                run.last = std::uint32_t(j - 1);
                std::size_t k = j;  // removed ones do not end the run
                while (k < n_ && removed(k)) ++k;
                if (k > j && k < n_ && levels_[k] == level) {
                    run.holds_removed = true;
                    j = k + 1;
                    continue;
                }
                j = k;
                break;
            }
            if (!match_.empty())
                for (std::size_t k = i; k <= run.last; ++k)
                    if (input_[k] == PDI && match_[k] != NONE) match_[k] = number;
            runs_.push_back(run);
            i = j;
        }
    }

    std::size_t run_holding(std::uint32_t pdi) const { return match_[pdi]; }

    // BD13 in two passes, then X10.
    void isolating_run_sequences() {
        const std::size_t count = runs_.size();
        const bool isolates = !match_.empty();
        std::vector<std::uint8_t> used(isolates ? count : 0, 0);
        sequence_runs_.reserve(count);

        auto matched_pdi_first = [&](const LevelRun& r) {
            return input_[r.first] == PDI && match_[r.first] != NONE;
        };
        for (std::size_t r = 0; r < count; ++r) {
            if (isolates && (used[r] || matched_pdi_first(runs_[r]))) continue;
            Sequence s{std::uint32_t(sequence_runs_.size()), 0, L, L};
            std::size_t cur = r;
            while (true) {
                sequence_runs_.push_back(std::uint32_t(cur));
                if (!isolates) break;
                used[cur] = 1;
                const std::uint32_t last = runs_[cur].last;
                if (!is_isolate_initiator(input_[last]) || match_[last] == NONE) break;
                const std::size_t next = run_holding(match_[last]);
                if (used[next]) break;
                cur = next;
            }
            s.runs_end = std::uint32_t(sequence_runs_.size());
            sequences_.push_back(s);
        }
        const std::size_t first_pass = sequences_.size();
        if (isolates) {
            for (std::size_t r = 0; r < count; ++r) {
                if (used[r]) continue;
                sequence_runs_.push_back(std::uint32_t(r));
                sequences_.push_back({std::uint32_t(sequence_runs_.size() - 1),
                                      std::uint32_t(sequence_runs_.size()), L, L});
            }
        }

        // X10: sos and eos from the explicit levels, before anything is resolved.
        for (std::size_t k = 0; k < sequences_.size(); ++k) {
            Sequence& s = sequences_[k];
            const std::size_t first_run = sequence_runs_[s.runs_begin];
            const std::size_t last_run = sequence_runs_[s.runs_end - 1];
            const std::uint8_t level = runs_[first_run].level;
            const std::uint8_t before = first_run > 0 ? runs_[first_run - 1].level : paragraph_;
            s.sos = direction_class(std::max(level, before) & 1);
            const std::uint32_t last = runs_[last_run].last;
            std::uint8_t after;
            if (k < first_pass && is_isolate_initiator(input_[last]))
                after = match_[last] != NONE ? levels_[match_[last]] : paragraph_;
            else
                after = last_run + 1 < count ? runs_[last_run + 1].level : paragraph_;
            s.eos = direction_class(std::max(level, after) & 1);
        }
    }

    void resolve_sequence(const Sequence& s) {
        // A single run with nothing removed in it (most sequences) is resolved
        // where it lies.
        if (s.runs_end - s.runs_begin == 1) {
            const LevelRun& run = runs_[sequence_runs_[s.runs_begin]];
            if (!run.holds_removed) {
                const std::size_t m = run.last + std::size_t(1) - run.first;
                return resolve_at(Span{run.first}, working_.data() + run.first, levels_.data() + run.first, m,
                                  present_ | bit(L) | bit(R), s.sos, s.eos);
            }
        }
        pieces_.clear();
        for (std::uint32_t r = s.runs_begin; r < s.runs_end; ++r) {
            const LevelRun& run = runs_[sequence_runs_[r]];
            add_pieces(run.first, run.last + std::size_t(1));
        }
        resolve_pieces(s.sos, s.eos);
    }

    // The stretches of kept code points in [from, to) as pieces of the sequence.
    void add_pieces(std::size_t from, std::size_t to) {
        std::uint32_t start = pieces_.empty() ? 0 : pieces_.back().start;
        if (!pieces_.empty()) start += pieces_.back().size;
        const std::uint8_t* lv = levels_.data();
        while (from < to) {
            while (from < to && lv[from] == REMOVED_LEVEL) ++from;
            if (from == to) break;
            const void* stop = std::memchr(lv + from, REMOVED_LEVEL, to - from);
            const std::size_t end = stop ? std::size_t(static_cast<const std::uint8_t*>(stop) - lv) : to;
            pieces_.push_back({std::uint32_t(from), start, std::uint32_t(end - from)});
            start += std::uint32_t(end - from);
            from = end;
        }
    }

    // A sequence that is not one stretch of the text: its classes are copied
    // together, resolved, and its levels copied back (the removed code points
    // between its pieces keep theirs).
    void resolve_pieces(BidiClass sos, BidiClass eos) {
        if (pieces_.empty()) return;
        const std::size_t m = pieces_.back().start + std::size_t(pieces_.back().size);
        c_.resize(m);
        for (const Piece& p : pieces_) std::memcpy(c_.data() + p.start, working_.data() + p.first, p.size);
        lv_.assign(m, levels_[pieces_[0].first]);
        resolve_at(Pieces{pieces_.data(), pieces_.size()}, c_.data(), lv_.data(), m, present_ | bit(L) | bit(R),
                   sos, eos);
        for (const Piece& p : pieces_) std::memcpy(levels_.data() + p.first, lv_.data() + p.start, p.size);
    }

    // Position k of a sequence is code point at[k]: either a stretch of the
    // text in order (with nothing removed) or pieces of it. The pieces are
    // asked for in order nearly always: the last one found is tried first.
    struct Span {
        std::size_t first;
        std::uint32_t operator[](std::size_t k) const { return std::uint32_t(first + k); }
    };
    struct Pieces {
        const Piece* piece;
        std::size_t count;
        std::size_t hint = 0;
        std::uint32_t operator[](std::size_t k) {
            const Piece* p = piece + hint;
            if (k - p->start >= p->size) {
                p = std::upper_bound(piece, piece + count, k,
                                     [](std::size_t v, const Piece& q) { return v < q.start; }) - 1;
                hint = std::size_t(p - piece);
            }
            return std::uint32_t(p->first + (k - p->start));
        }
    };

    // Resolves the sequence whose classes are c and levels lv, m of each, all
    // at the sequence's level; seen holds at least the classes in c.
    template <typename At>
    void resolve_at(At at, BidiClass* c, std::uint8_t* lvs, std::size_t m, std::uint32_t seen, BidiClass sos,
                    BidiClass eos) {
        c_view_ = c;
        m_ = m;
        const std::uint8_t level = lvs[0];
        const unsigned e = level & 1;

        was_nsm_.clear();
        // seen may hold classes the sequence does not: whether it holds a
        // mark is looked up, once.
        const std::size_t first_mark = seen & bit(NSM) ? find_class<NSM>(c, 0, m) : m;
        marks_ = first_mark < m;
        if (seen & (bit(NSM) | bit(AL) | bit(ES) | bit(ET) | bit(CS) | bit(EN))) {
            if (marks_)
                weak_types<true>(c, m, sos, first_mark);
            else
                weak_types<false>(c, m, sos, m);
        }

        if (seen & (bit(ON) | bit(NSM))) paired_brackets(at, sos, e);

        // N1 and N2 for each run of NI, then I1 and I2 on the final classes.
        // Every code point of a sequence has its level: a class of the
        // embedding direction ("quiet") leaves it as it is, and so does a run
        // of NI unless both its sides are strong the other way, so only the
        // other classes ("loud") and the NI runs just before them, or before
        // the end, need a look.
        const std::uint8_t* raise = IMPLICIT_RAISE[e].data();
        auto skip_quiet_or_ni = [&](std::size_t k) {
            return e ? skip_classes<NI_MASK | bit(R), true>(c, k, m) : skip_classes<NI_MASK | bit(L), true>(c, k, m);
        };
        const unsigned other = e ^ 1;
        auto neutrals_before = [&](std::size_t end, unsigned after) {
            std::size_t a = end;
            while (a > 0 && is_ni(c[a - 1])) --a;
            if (a == end || after != other) return;
            const unsigned before = a == 0 ? u(sos) : strong_direction(c[a - 1]);
            if (before != other) return;  // N2, or N1 towards the embedding direction
            const std::uint8_t lv = std::uint8_t(level + raise[u(direction_class(other))]);  // N1
            std::memset(lvs + a, lv, end - a);
        };
        for (std::size_t k = 0;;) {
            k = skip_quiet_or_ni(k);
            if (k == m) {
                neutrals_before(m, u(eos));
                break;
            }
            const BidiClass x = c[k];
            neutrals_before(k, strong_direction(x));
            std::size_t j;
            if (x == direction_class(other)) {
                // Words of the other direction with NI between them: N1 gives
                // those NI the other direction, so one level for all of it, up
                // to the last such word.
                j = e ? skip_classes<NI_MASK | bit(L), true>(c, k + 1, m)
                      : skip_classes<NI_MASK | bit(R), true>(c, k + 1, m);
                while (is_ni(c[j - 1])) --j;
            } else {
                // A number: one level for all of it.
                j = k + 1;
                while (j < m && c[j] == x) ++j;
            }
            const std::uint8_t lv = std::uint8_t(level + raise[u(x)]);
            std::memset(lvs + k, lv, j - k);
            k = j;
        }
    }

    // W1-W7 in one forward sweep. Each rule is a no-op on a sequence without
    // the classes it reads, so one sweep serves whichever of them are present.
    // W4 needs the class after k as W1-W3 leave it: that is computed one step
    // ahead. W5 backward (ET before EN) holds a run of ET open until the class
    // after it is known; it then becomes EN (and W7 applies to it with the
    // strong class before the run, as no ET is strong) or ON (W6).
    template <bool Marks>
    void weak_types(BidiClass* c, std::size_t m, BidiClass sos, std::size_t first_mark) {
        const bool record = Marks && (present_ & (bit(LRO) | bit(RLO)));
        if (record) was_nsm_.resize(m);
        BidiClass prev = sos;   // W1: the class before, as W1 left it
        BidiClass last1 = sos;  // W2: the last strong class, as W1 left it
        auto w1_w3 = [&](std::size_t k) {
            BidiClass x = c[k];
            if constexpr (Marks) {
                if (record) was_nsm_[k] = x == NSM;
                if (x == NSM) x = is_isolate_control(prev) ? ON : prev;  // W1
            }
            prev = x;
            if (is_strong(x)) {
                last1 = x;
                if (x == AL) x = R;  // W3
            } else if (x == EN && last1 == AL) {
                x = AN;  // W2
            }
            return x;
        };
        BidiClass before = sos;  // the class at k - 1 as W4 left it (before W5)
        BidiClass last7 = sos;   // W7: the last L or R
        bool after_en = false;
        std::size_t et_from = NONE;  // first ET of the open run
        // Classes that W1-W7 neither change nor look past, but for W3 (AL
        // becomes R) and W1 (a mark takes the class before it, which is one
        // of these): a stretch of them only sets the context for what follows.
        constexpr std::uint32_t INERT = bit(L) | bit(R) | bit(AL) | bit(ON) | bit(B) | bit(S) | bit(WS) |
                                        bit(LRI) | bit(RLI) | bit(FSI) | bit(PDI) | (Marks ? bit(NSM) : 0);
        std::size_t mark_at = first_mark;  // no mark before it from the last stretch on, if past that
        BidiClass next = w1_w3(0);
        for (std::size_t k = 0; k < m; ++k) {
            BidiClass x = next;
            if ((INERT >> u(x)) & 1) {
                const std::size_t j = skip_classes<INERT, true>(c, k + 1, m);
                if (et_from != NONE) {
                    std::memset(c + et_from, u(ON), k - et_from);  // W6
                    et_from = NONE;
                }
                after_en = false;
                // x is k as W1-W3 left it (an AL made R, a mark made L...);
                // the rest of the stretch is as it was (W3 is applied at the end).
                if constexpr (Marks) {
                    // W1 for the marks of the stretch, from k as W1 left it.
                    // The next mark is looked for once past each one, so that
                    // a text with few marks is not scanned again per stretch.
                    if (mark_at <= k) mark_at = find_class<NSM>(c, k + 1, m);
                    for (; mark_at < j; mark_at = find_class<NSM>(c, mark_at + 1, m)) {
                        const BidiClass p = mark_at == k + 1 ? prev : c[mark_at - 1];
                        if (record) was_nsm_[mark_at] = 1;
                        c[mark_at] = is_isolate_control(p) ? ON : p;
                    }
                }
                c[k] = x;
                before = x;
                if (x == L || x == R) last7 = x;
                if (const std::size_t i = last_strong_after(c, k, j); i > k) {
                    last1 = c[i];
                    last7 = c[i] == AL ? R : c[i];
                }
                if (j - 1 > k) {
                    prev = c[j - 1];
                    before = prev == AL ? R : prev;
                }
                if (j < m) next = w1_w3(j);
                k = j - 1;
                continue;
            }
            if (k + 1 < m) next = w1_w3(k + 1);
            // W4: k - 1 already resolved by W4, k + 1 not yet.
            if (k > 0 && k + 1 < m) {
                if (x == ES) {
                    if (before == EN && next == EN) x = EN;
                } else if (x == CS) {
                    if (before == EN && next == EN)
                        x = EN;
                    else if (before == AN && next == AN)
                        x = AN;
                }
            }
            before = x;
            // W5, forward: ET after EN (through ET) becomes EN.
            if (x == EN)
                after_en = true;
            else if (x == ET && after_en)
                x = EN;
            else
                after_en = false;
            if (x == ET) {
                if (et_from == NONE) et_from = k;
                continue;
            }
            if (et_from != NONE) {
                // W5 backward, else W6; then W7.
                const BidiClass t = x != EN ? ON : last7 == L ? L : EN;
                std::memset(c + et_from, u(t), k - et_from);
                et_from = NONE;
            }
            if (x == ES || x == CS) x = ON;  // W6
            if (x == L || x == R)
                last7 = x;
            else if (x == EN && last7 == L)
                x = L;  // W7
            c[k] = x;
        }
        if (et_from != NONE) std::memset(c + et_from, u(ON), m - et_from);  // W6
        // W3 for the stretches passed over above, whose AL nothing read since.
        if (present_ & bit(AL))
            for (std::size_t i = 0; i < m; ++i) c[i] = c[i] == AL ? R : c[i];
    }

    // The bracket identity: a code point whose canonical decomposition is a
    // single bracket pairs as that bracket (U+2329 as U+3008, U+232A as U+3009).
    static char32_t bracket_identity(char32_t ch) {
        if (ch < 0x80) return ch;  // no ASCII character decomposes
        const std::u32string_view d = data::canonical_decomposition(ch);
        if (d.size() == 1 && (data::is_opening_bracket(d[0]) || data::is_closing_bracket(d[0])))
            return d[0];
        return ch;
    }

    // Calls visit(k, cp) for each position k of the sequence that brackets_
    // lists, in order, until it returns false.
    static bool listed_before(const ListedBracket& b, std::size_t i) { return b.at < i; }
    template <typename Visit>
    void each_listed(Span at, std::size_t m, Visit&& visit) const {
        const std::vector<ListedBracket>& b = *brackets_;
        for (auto it = std::lower_bound(b.begin(), b.end(), at.first, listed_before);
             it != b.end() && it->at < at.first + m; ++it)
            if (!visit(it->at - at.first, it->cp)) return;
    }
    template <typename Visit>
    void each_listed(const Pieces& at, std::size_t, Visit&& visit) const {
        // The pieces lie in the order of the text.
        const std::vector<ListedBracket>& b = *brackets_;
        auto it = b.begin();
        for (std::size_t q = 0; q < at.count; ++q) {
            const Piece& p = at.piece[q];
            for (it = std::lower_bound(it, b.end(), std::size_t(p.first), listed_before);
                 it != b.end() && it->at < p.first + p.size; ++it)
                if (!visit(p.start + (it->at - p.first), it->cp)) return;
        }
    }

    // BD16 and N0.
    template <typename At>
    void paired_brackets(At at, BidiClass sos, unsigned e) {
        BidiClass* c = c_view_;
        const std::size_t m = m_;
        bracket_stack_.clear();
        pairs_.clear();
        pair_numbers_.clear();
        std::uint32_t pushed = 0;
        auto pair_at = [&](std::size_t k, char32_t cp) {
            const char32_t b = bracket_identity(cp);
            unsigned kind;
            char32_t o;
            if (b < 0x80) {
                kind = ASCII_PAIRING[b].kind;
                o = ASCII_PAIRING[b].opening;
            } else {
                kind = data::is_opening_bracket(b) ? 1 : data::is_closing_bracket(b) ? 2 : 0;
                o = kind == 2 ? data::opening_bracket_of(b) : 0;
            }
            if (kind == 1) {
                if (bracket_stack_.size() == BRACKET_STACK_SIZE) return false;  // BD16: stop here
                bracket_stack_.push_back({std::uint32_t(k), b, pushed++});
            } else if (kind == 2) {
                for (std::size_t j = bracket_stack_.size(); j-- > 0;) {
                    if (bracket_stack_[j].bracket == o) {
                        pairs_.push_back({bracket_stack_[j].at, std::uint32_t(k)});
                        pair_numbers_.push_back(bracket_stack_[j].number);
                        bracket_stack_.resize(j);
                        break;
                    }
                }
            }
            return true;
        };
        // Only code points of class ON pair, and W1-W7 make none of them ON
        // (see BRACKETS): the ON left are the input's.
        std::size_t k = 0;
        if (brackets_) {
            each_listed(at, m, [&](std::size_t i, char32_t cp) { return c[i] != ON || pair_at(i, cp); });
            k = m;
        }
#if defined(__SSE2__)
        // Sixteen classes at a time: ON is rare among them.
        bool stopped = false;
        for (; !stopped && k + 16 <= m; k += 16) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(c + k));
            for (unsigned on = unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(v, _mm_set1_epi8(char(u(ON))))));
                 on != 0; on &= on - 1) {
                const std::size_t i = k + std::size_t(std::countr_zero(on));
                const char32_t cp = cps_[at[i]];
                if (may_be_bracket(cp) && !pair_at(i, cp)) {
                    stopped = true;
                    break;
                }
            }
        }
        if (stopped) k = m;
#endif
        for (; k < m; ++k)
            if (c[k] == ON && may_be_bracket(cps_[at[k]]) && !pair_at(k, cps_[at[k]])) break;
        if (pairs_.empty()) return;
        // Found in closing order, which is already opening order unless pairs
        // nest; then each goes to the slot of its opening's number.
        if (!std::is_sorted(pairs_.begin(), pairs_.end())) {
            slots_.assign(pushed, NONE);
            for (std::size_t p = 0; p < pairs_.size(); ++p) slots_[pair_numbers_[p]] = std::uint32_t(p);
            sorted_pairs_.clear();
            for (const std::uint32_t p : slots_)
                if (p != NONE) sorted_pairs_.push_back(pairs_[p]);
            pairs_.swap(sorted_pairs_);
        }

        // Pairs nest, and earlier pairs (smaller opening) change only their
        // own brackets and the marks after them, which all lie outside a later
        // pair: so the strong directions a pair holds inside are read now, in
        // one scan, each going to the innermost open pair and passed outwards
        // when that pair closes.
        const std::size_t count = pairs_.size();
        inside_.assign(count, 0);
        std::array<std::uint32_t, BRACKET_STACK_SIZE> open;
        std::size_t depth = 0, next = 0;
        for (std::size_t k = 0; next < count || depth > 0;) {
            if (depth == 0) k = pairs_[next].first;  // nothing to count between pairs
            // k is the closing of the innermost open pair or the opening of the next.
            if (depth > 0 && pairs_[open[depth - 1]].second == k) {
                const std::uint32_t closed = open[--depth];
                if (depth > 0) inside_[open[depth - 1]] |= inside_[closed];
                if (depth == 0) continue;
            } else {
                if (depth == open.size()) throw InvariantError("bidi: bracket pairs nest too deep");
                open[depth++] = std::uint32_t(next++);
            }
            // Up to the next of them, without a branch per code point.
            std::size_t stop = pairs_[open[depth - 1]].second;
            if (next < count && pairs_[next].first < stop) stop = pairs_[next].first;
            inside_[open[depth - 1]] |= std::uint8_t(directions_in(c, k + 1, stop));
            k = stop;
        }
        // The look-back for each pair only reads positions before its opening,
        // which no later pair changes: it stops at the previous pair's
        // opening, before which the answer is that pair's.
        std::size_t known = 0;  // the last strong direction before it is context
        unsigned context = u(sos);
        for (std::size_t p = 0; p < count; ++p) {
            const auto [o, z] = pairs_[p];
            const bool same = inside_[p] & (1u << e);
            const bool opposite = inside_[p] & (1u << (e ^ 1));
            for (std::size_t k = o; k-- > known;) {
                const std::uint8_t d = strong_direction(c[k]);
                if (d != 2) {
                    context = d;
                    break;
                }
            }
            known = o;
            BidiClass t;
            if (same)  // N0 b
                t = direction_class(e);
            else if (opposite)  // N0 c1, c2
                t = direction_class(context != e ? e ^ 1 : e);
            else  // N0 d
                continue;
            c[o] = t;
            c[z] = t;
            // Marks after a bracket follow its new class.
            if (marks_) {
                // With no override, a mark after a bracket took its ON in W1
                // and kept it: the class says no for most before the search
                // for the input's.
                auto was_mark = [&](std::size_t k) {
                    return was_nsm_.empty() ? c[k] == ON && input_[at[k]] == NSM : was_nsm_[k] != 0;
                };
                for (std::size_t k = o + 1; k < m && was_mark(k); ++k) c[k] = t;
                for (std::size_t k = z + 1; k < m && was_mark(k); ++k) c[k] = t;
            }
        }
    }

    // L1 over the input classes, the whole text being one line: backwards,
    // segment and paragraph separators take the paragraph level, and so do
    // the whitespace and isolate controls before one of them or the end (the
    // removed controls among them stay removed).
    void line_whitespace() {
        constexpr std::uint32_t SEPARATOR = bit(B) | bit(S);
        constexpr std::uint32_t WHITESPACE = bit(WS) | bit(LRI) | bit(RLI) | bit(FSI) | bit(PDI);
        constexpr std::uint32_t PASSED = WHITESPACE | REMOVED_MASK;  // neither ends a trailing run
        std::uint8_t* lv = levels_.data();
        if (!(present_ & SEPARATOR)) {
            // No separator: only the whitespace at the end.
            for (std::size_t i = n_; i-- > 0;) {
                const std::uint32_t c = bit(input_[i]);
                if (!(c & PASSED)) break;
                if (c & WHITESPACE) lv[i] = paragraph_;
            }
            return;
        }
        bool trailing = true;
        for (std::size_t i = n_; i-- > 0;) {
            const std::uint32_t c = bit(input_[i]);
            if (c & SEPARATOR) {
                lv[i] = paragraph_;
                trailing = true;
            } else if (!(c & PASSED)) {
                trailing = false;
            } else if (trailing && (c & WHITESPACE)) {
                lv[i] = paragraph_;
            }
        }
    }
};

// Nothing can leave level 0: no right-to-left class, no number that W2 could
// turn Arabic, no explicit control. Every kept code point is 0 and stays put.
template <typename IsRemoved>
void left_to_right(std::size_t n, bool any_removed, IsRemoved&& is_removed, BidiLayout& out) {
    out.levels.assign(n, 0);
    if (any_removed)
        for (std::size_t i = 0; i < n; ++i)
            if (is_removed(i)) out.levels[i] = REMOVED_LEVEL;
}

template <typename CodePoint>
void resolve(const BidiClass* classes, const CodePoint* cps, std::size_t n,
             std::optional<std::uint8_t> paragraph_level, std::uint32_t present, BidiLayout& out,
             const std::vector<ListedBracket>* brackets = nullptr) {
    out.paragraph_level = paragraph_level.value_or(0);
    if (n == 0) return;
    if (!(present & NOT_TRIVIAL_MASK) && paragraph_level.value_or(0) == 0)
        return left_to_right(n, present & bit(BN), [&](std::size_t i) { return classes[i] == BN; }, out);
    const std::uint8_t paragraph =
        paragraph_level ? *paragraph_level : paragraph_level_of(classes, n);
    Resolver<CodePoint>(classes, cps, n, paragraph, present, brackets).run(out);
}

// L2 over the level runs of the code points that remain: a run is reversed
// as a whole by every pass at a level up to its own, which leaves it reversed
// when its level is odd, and the runs themselves are ordered by the same
// passes over their levels.
void visual_runs(BidiLayout& out) {
    const std::uint8_t* levels = out.levels.data();
    const std::size_t n = out.levels.size();
    std::vector<VisualRun> runs;
    std::vector<std::uint8_t> run_levels;
    bool odd = false;
    std::size_t removed = 0;
    for (std::size_t i = 0; i < n;) {
        if (levels[i] == REMOVED_LEVEL) {
            ++removed;
            ++i;
            continue;
        }
        const std::uint8_t level = levels[i];
        std::size_t last;
        std::size_t j = i + 1;
        while (true) {
            j = skip_level(levels, j, n, level);
            last = j - 1;
            std::size_t k = j;  // removed ones do not end the run
            while (k < n && levels[k] == REMOVED_LEVEL) ++k;
            removed += k - j;
            if (k > j && k < n && levels[k] == level) {
                j = k + 1;
                continue;
            }
            j = k;
            break;
        }
        runs.push_back({std::uint32_t(i), std::uint32_t(last), (level & 1) != 0});
        run_levels.push_back(level);
        odd |= level & 1;
        i = j;
    }
    out.kept = n - removed;
    // No odd level: nothing reverses, and the order is the logical one, one
    // run over everything.
    if (!odd) {
        if (out.kept > 0) out.runs.assign(1, VisualRun{0, std::uint32_t(n - 1), false});
        return;
    }
    std::vector<std::uint32_t> order(runs.size());
    for (std::size_t r = 0; r < order.size(); ++r) order[r] = std::uint32_t(r);
    reorder_by_levels(run_levels.data(), run_levels.size(), order.data());
    out.runs.resize(runs.size());
    for (std::size_t r = 0; r < order.size(); ++r) out.runs[r] = runs[order[r]];
}

}  // namespace

BidiResult resolve_levels(const std::vector<BidiClass>& classes,
                          const std::vector<char32_t>& code_points,
                          std::optional<std::uint8_t> paragraph_level) {
    if (classes.size() != code_points.size()) throw InvariantError("bidi: classes and code points differ in length");
    std::uint32_t present = 0;
    for (BidiClass c : classes) present |= bit(c);
    BidiLayout layout;
    resolve(classes.data(), code_points.data(), classes.size(), paragraph_level, present, layout);
    visual_runs(layout);
    return expand(std::move(layout));
}

BidiResult expand(BidiLayout layout) {
    BidiResult out;
    out.paragraph_level = layout.paragraph_level;
    out.levels = std::move(layout.levels);
    for (const VisualRun& run : layout.runs) {
        if (run.reversed) {
            for (std::size_t i = run.last + std::size_t(1); i-- > run.first;)
                if (out.levels[i] != REMOVED_LEVEL) out.visual_order.push_back(i);
        } else {
            for (std::size_t i = run.first; i <= run.last; ++i)
                if (out.levels[i] != REMOVED_LEVEL) out.visual_order.push_back(i);
        }
    }
    return out;
}

namespace {

// The classes of a text's code points, and whether any can move a code point
// off level 0. Most text has none: then only the removed ones are looked up
// again, and no array of classes is made.
void layout_of(std::string_view text, bool with_order, BidiLayout& out) {
    auto r = text::reader(text);
    data::BidiClassLookup lookup;
    std::uint32_t present = 0;
    std::size_t n = 0;
    for (auto scan = r; !scan.done(); ++n) {
        present |= bit(lookup(scan.next()));
        if (present & NOT_TRIVIAL_MASK) break;
    }
    if (!(present & NOT_TRIVIAL_MASK)) {
        out.paragraph_level = 0;
        if (n > 0) {
            if (present & bit(BN)) {
                out.levels.assign(n, 0);
                std::size_t i = 0;
                for (auto scan = r; !scan.done(); ++i)
                    if (lookup(scan.next()) == BN) out.levels[i] = REMOVED_LEVEL;
            } else {
                out.levels.assign(n, 0);
            }
        }
    } else {
        std::vector<BidiClass> classes;
        std::vector<char32_t> cps;
        const std::size_t count = utf8::count_code_points(text);
        cps.reserve(count);
        classes.reserve(count);
        present = 0;
        for (auto scan = r; !scan.done();) {
            const char32_t cp = scan.next();
            const BidiClass c = lookup(cp);
            present |= bit(c);
            cps.push_back(cp);
            classes.push_back(c);
        }
        resolve(classes.data(), cps.data(), cps.size(), std::nullopt, present, out);
    }
    if (with_order) visual_runs(out);
}

// What a code point does while nothing has left level 0: stays there (0),
// is removed (REMOVED_LEVEL, the level written as is) or can move something
// off it (TRIVIAL_OFF_ZERO). One byte per code point of planes 0 and 1, so
// that emoji among spaces and ZWJs take one load each. Plus one makes the
// three kinds three distinct bits (1, 0x80 and 0x100), OR-ed over a block.
constexpr Planes01Classes BIDI_PLANES01 = build_planes01_classes();
constexpr std::uint8_t TRIVIAL_OFF_ZERO = 0x7F;
struct TrivialEffects {
    std::array<std::uint8_t, 32> of_class{};
    std::array<std::uint8_t, 0x20000> at{};
};
constexpr TrivialEffects build_trivial_effects() {
    TrivialEffects t{};
    for (unsigned c = 0; c < 32; ++c)
        t.of_class[c] = (NOT_TRIVIAL_MASK >> c) & 1 ? TRIVIAL_OFF_ZERO : c == u(BN) ? REMOVED_LEVEL : 0;
    for (char32_t cp = 0; cp < 0x20000; ++cp) t.at[cp] = t.of_class[u(BIDI_PLANES01.classes[cp])];
    return t;
}
constinit const TrivialEffects TRIVIAL_EFFECTS = build_trivial_effects();
static_assert(REMOVED_LEVEL == 0xFF && ((REMOVED_LEVEL + 1) & (TRIVIAL_OFF_ZERO + 1)) == 0 &&
              (TRIVIAL_OFF_ZERO >> 7) == 0);

// Every code point of the BMP that does not simply stay at level 0 lies in
// one of these: a block of UCS-2 units outside them all stays at level 0 and
// is passed over, its levels zero already. Quotes, dashes and the ellipsis
// (U+2010 to U+2027) lie between them.
struct Window16 {
    char16_t first, last;
};
constexpr Window16 BMP_ATTENTION[] = {{0x0000, 0x001B}, {0x007F, 0x00AD}, {0x05BE, 0x08E2},
                                      {0x180E, 0x180E}, {0x200B, 0x200F}, {0x202A, 0x202E},
                                      {0x2060, 0x206F}, {0xFB1D, 0xFDFF}, {0xFE70, 0xFEFF}};
constexpr bool attention_holds_every_effect() {
    for (char32_t cp = 0; cp < 0x10000; ++cp) {
        const BidiClass c = BIDI_PLANES01.classes[cp];
        if (c != BN && !((NOT_TRIVIAL_MASK >> u(c)) & 1)) continue;
        bool inside = false;
        for (const Window16& w : BMP_ATTENTION) inside = inside || (cp >= w.first && cp <= w.last);
        if (!inside) return false;
    }
    return true;
}
static_assert(attention_holds_every_effect());

// Whether any of the 64 units from p lies in a window above.
inline bool needs_attention(const char16_t* p) noexcept {
#if defined(__SSE2__)
    __m128i hit = _mm_setzero_si128();
    for (std::size_t k = 0; k < 64; k += 8) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + k));
        for (const Window16& w : BMP_ATTENTION) {
            if (w.first == w.last) {
                hit = _mm_or_si128(hit, _mm_cmpeq_epi16(v, _mm_set1_epi16(short(w.first))));
            } else {
                // v - first, moved into the signed range, is below last - first + 1 there.
                const __m128i x = _mm_add_epi16(v, _mm_set1_epi16(short(std::uint16_t(0x8000u - w.first))));
                const __m128i limit = _mm_set1_epi16(short(std::uint16_t(0x8000u + (w.last - w.first) + 1)));
                hit = _mm_or_si128(hit, _mm_cmplt_epi16(x, limit));
            }
        }
    }
    return _mm_movemask_epi8(hit) != 0;
#else
    (void)p;
    return true;
#endif
}

// The classes of planes 0 and 1 with BRACKET_FLAG added where the code
// point may pair as a bracket, so that the pass that reads the classes also
// lists the brackets.
constexpr std::uint8_t BRACKET_FLAG = 0x20;
static_assert(u(PDI) < BRACKET_FLAG);
struct FlaggedClasses {
    std::array<std::uint8_t, 0x20000> at{};
};
constexpr FlaggedClasses build_flagged_classes() {
    FlaggedClasses t{};
    for (char32_t cp = 0; cp < 0x20000; ++cp)
        t.at[cp] = std::uint8_t(u(BIDI_PLANES01.classes[cp]) | (BRACKETS.holds(cp) ? BRACKET_FLAG : 0));
    return t;
}
constinit const FlaggedClasses FLAGGED_CLASSES = build_flagged_classes();

// The classes of UCS-4 units into classes, returning the mask of those
// present, and the positions that may pair as brackets into brackets. A
// block of 64 units of planes 0 and 1 takes no plane test, and marks the
// classes present in a byte each, one store per code point rather than a
// shift and an OR into the mask, which is made at the end; it is read again
// for its brackets only when it holds one.
[[gnu::noinline]] std::uint32_t ucs4_classes(const char32_t* p, std::size_t n, BidiClass* classes,
                                             std::vector<ListedBracket>& brackets) {
    constexpr std::size_t BLOCK_UNITS = 64;
    FixedClassLookup any_plane;
    std::uint8_t seen[32] = {};
    auto one = [&](std::size_t j) {
        const BidiClass c = any_plane(p[j]);
        seen[u(c)] = 1;
        classes[j] = c;
        if (c == ON && may_be_bracket(p[j])) brackets.push_back({std::uint32_t(j), p[j]});
    };
    std::size_t k = 0;
    for (; n - k >= BLOCK_UNITS; k += BLOCK_UNITS) {
        std::uint32_t all = 0;
        for (std::size_t j = k; j < k + BLOCK_UNITS; ++j) all |= p[j];
        if (all < 0x20000) {
            std::uint8_t flags = 0;
            for (std::size_t j = k; j < k + BLOCK_UNITS; ++j) {
                const std::uint8_t f = FLAGGED_CLASSES.at[p[j]];
                const std::uint8_t c = f & (BRACKET_FLAG - 1);
                seen[c] = 1;
                classes[j] = BidiClass(c);
                flags |= f;
            }
            if (flags & BRACKET_FLAG)
                for (std::size_t j = k; j < k + BLOCK_UNITS; ++j)
                    if (FLAGGED_CLASSES.at[p[j]] & BRACKET_FLAG) brackets.push_back({std::uint32_t(j), p[j]});
        } else {
            for (std::size_t j = k; j < k + BLOCK_UNITS; ++j) one(j);
        }
    }
    for (; k < n; ++k) one(k);
    std::uint32_t present = 0;
    for (unsigned c = 0; c < 32; ++c) present |= std::uint32_t(seen[c]) << c;
    return present;
}

// The fixed-width forms: while nothing can leave level 0, the levels are
// written in the same pass that classifies (0, or removed for BN), so that
// left-to-right text is read once; from the first code point that can, the
// classes are gathered for the whole algorithm.
template <typename Unit>
void layout_of(text::Fixed<Unit> text, bool with_order, BidiLayout& out) {
    const Unit* p = text.data;
    const std::size_t n = text.size;
    FixedClassLookup any_plane;
    // Latin-1 and UCS-2 units are all in the BMP: one table.
    auto lookup = [&](Unit unit) {
        if constexpr (sizeof(Unit) <= 2)
            return data::detail::BMP_BIDI_CLASSES[unit];
        else
            return any_plane(unit);
    };
    out.paragraph_level = 0;
    std::size_t i = 0, removed = 0;
    // A block at a time, the level written straight from the table of
    // effects and the block checked once; a block that holds a class off
    // level 0 is read again for where it starts.
    constexpr std::size_t BLOCK_UNITS = 64;  // as needs_attention reads
    const auto effect = [&](Unit unit) -> std::uint32_t {
        if constexpr (sizeof(Unit) == 4) {
            if (unit >= 0x20000) [[unlikely]]
                return TRIVIAL_EFFECTS.of_class[u(any_plane(unit))];
        }
        return TRIVIAL_EFFECTS.at[unit];
    };
    // The levels are made (zeroed) a stretch at a time as the pass goes: text
    // that turns right to left early has the resolution fill them once, not
    // twice.
    constexpr std::size_t STRETCH = 64 * BLOCK_UNITS;
    out.levels.reserve(n);
    for (;;) {
        const std::size_t stretch_end = std::min(n, i + STRETCH);
        out.levels.resize(stretch_end);
        std::uint8_t* const lv = out.levels.data();
        for (; stretch_end - i >= BLOCK_UNITS; i += BLOCK_UNITS) {
            if constexpr (sizeof(Unit) == 2)
                if (!needs_attention(p + i)) continue;
            std::uint32_t seen = 0;
            std::size_t block_removed = 0;
            for (std::size_t k = i; k < i + BLOCK_UNITS; ++k) {
                const std::uint32_t e = effect(p[k]);
                lv[k] = std::uint8_t(e);
                seen |= e + 1;
                block_removed += e >> 7;
            }
            if (seen & (TRIVIAL_OFF_ZERO + 1)) break;
            removed += block_removed;
        }
        for (; i < stretch_end; ++i) {
            const BidiClass c = lookup(p[i]);
            if ((NOT_TRIVIAL_MASK >> u(c)) & 1) break;
            lv[i] = c == BN ? REMOVED_LEVEL : 0;
            removed += c == BN;
        }
        if (i < stretch_end || i == n) break;
    }
    if (i == n) {
        // No odd level: the logical order, one run over everything kept.
        if (with_order) {
            out.kept = n - removed;
            if (out.kept > 0) out.runs.assign(1, VisualRun{0, std::uint32_t(n - 1), false});
        }
        return;
    }
    const std::unique_ptr<BidiClass[]> classes(new BidiClass[n]);
    std::uint32_t present = 0;
    std::vector<ListedBracket> brackets;
    if constexpr (sizeof(Unit) == 4) {
        present = ucs4_classes(p, n, classes.get(), brackets);
    } else {
        for (std::size_t k = 0; k < n; ++k) {
            const BidiClass c = lookup(p[k]);
            present |= bit(c);
            classes[k] = c;
        }
    }
    // in the same room for the levels
    resolve(classes.get(), p, n, std::nullopt, present, out, sizeof(Unit) == 4 ? &brackets : nullptr);
    if (with_order) visual_runs(out);
}

}  // namespace

namespace {

// Every code point whose class can move anything off level 0 lies in one of
// these windows (checked against the class table below): a unit outside them
// is passed over without a lookup.
struct Window {
    char32_t first, last;
};
constexpr Window BMP_WINDOWS[] = {
    {0x05BE, 0x08E2}, {0x200F, 0x200F}, {0x202A, 0x202E}, {0x2066, 0x2069}, {0xFB1D, 0xFDFF}, {0xFE70, 0xFEFC},
};
constexpr Window SUPPLEMENTARY_WINDOWS[] = {{0x10800, 0x10FFF}, {0x1E800, 0x1EFFF}};

constexpr bool in_windows(char32_t c) noexcept {
    for (const Window& w : BMP_WINDOWS)
        if (c - w.first <= w.last - w.first) return true;
    for (const Window& w : SUPPLEMENTARY_WINDOWS)
        if (c - w.first <= w.last - w.first) return true;
    return false;
}

constexpr bool windows_hold_every_class_off_level_zero() {
    for (const auto& e : data::BIDI_CLASS_RANGES)
        if ((NOT_TRIVIAL_MASK >> u(e.value)) & 1)
            for (char32_t c = e.first; c <= e.last; ++c)
                if (!in_windows(c)) return false;
    return true;
}
static_assert(windows_hold_every_class_off_level_zero());

bool moves_off_level_zero(char32_t c) noexcept {
    return in_windows(c) && ((NOT_TRIVIAL_MASK >> u(data::bidi_class(c))) & 1);
}

}  // namespace

bool stays_left_to_right(std::string_view text) noexcept {
    // Only a lead byte from 0xD6 starts a code point from U+0580.
    const auto* s = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t n = text.size();
    std::size_t pos = 0;
    while (pos < n) {
#if defined(__SSE2__)
        while (pos + 16 <= n) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + pos));
            if (_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_max_epu8(v, _mm_set1_epi8(char(0xD6))), v))) break;
            pos += 16;
        }
#endif
        const std::size_t stop = pos + 16 < n ? pos + 16 : n;
        for (; pos < stop; ++pos) {
            if (s[pos] < 0xD6) continue;
            std::size_t len;
            if (moves_off_level_zero(utf8::decode(text, pos, len))) return false;
            pos += len - 1;
        }
    }
    return true;
}

namespace {

// The first step of the scan of the fixed-width forms: fewer, wider windows
// holding every window above and the surrogates, so that a block of text is
// passed over with a few instructions per unit. Vietnamese and most other
// scripts lie between them, and so do the quotes, dashes, bullets and the
// ellipsis (U+2010 to U+2027) and the variation selectors (U+FE00 to U+FE0F,
// in emoji sequences): a block that hits is rare, and the exact windows
// settle it.
constexpr Window BMP_SUPERSET[] = {{0x05BE, 0x08E2}, {0x200F, 0x200F}, {0x202A, 0x2069},
                                   {0xD800, 0xFDFF}, {0xFE70, 0xFEFC}};
constexpr Window SURROGATES = {0xD800, 0xDFFF};

constexpr bool inside_superset(const Window& w) {
    for (const Window& s : BMP_SUPERSET)
        if (s.first <= w.first && w.last <= s.last) return true;
    return false;
}
constexpr bool superset_holds_every_window() {
    for (const Window& w : BMP_WINDOWS)
        if (!inside_superset(w)) return false;
    return inside_superset(SURROGATES);
}
static_assert(superset_holds_every_window());

constexpr bool is_surrogate(char32_t c) noexcept { return c - SURROGATES.first <= SURROGATES.last - SURROGATES.first; }

#if defined(__SSE2__)
// A range test in two instructions: c lies in [first, last] when c - first,
// moved into the signed range, is below last - first + 1 there.
inline __m128i in_range(__m128i v, const Window& w, std::uint16_t) noexcept {
    if (w.first == w.last) return _mm_cmpeq_epi16(v, _mm_set1_epi16(short(w.first)));
    const __m128i x = _mm_add_epi16(v, _mm_set1_epi16(short(std::uint16_t(0x8000u - w.first))));
    return _mm_cmplt_epi16(x, _mm_set1_epi16(short(std::uint16_t(0x8000u + (w.last - w.first) + 1))));
}
inline __m128i in_range(__m128i v, const Window& w, std::uint32_t) noexcept {
    const __m128i x = _mm_add_epi32(v, _mm_set1_epi32(int(0x80000000u - w.first)));
    return _mm_cmplt_epi32(x, _mm_set1_epi32(int(0x80000000u + (w.last - w.first) + 1)));
}

template <typename Lane>
__m128i in_superset(__m128i v) noexcept {
    __m128i hit = _mm_setzero_si128();
    for (const Window& w : BMP_SUPERSET) hit = _mm_or_si128(hit, in_range(v, w, Lane{}));
    if constexpr (sizeof(Lane) == 4)
        for (const Window& w : SUPPLEMENTARY_WINDOWS) hit = _mm_or_si128(hit, in_range(v, w, Lane{}));
    return hit;
}
#endif

// The supplementary windows are whole blocks of 2048 code points: a code
// point's block number tells.
constexpr bool supplementary_windows_are_blocks() {
    for (const Window& w : SUPPLEMENTARY_WINDOWS)
        if (w.first % 2048 != 0 || w.last - w.first != 2047) return false;
    return true;
}
static_assert(supplementary_windows_are_blocks());

// Blocks of 64 bytes, one test of the mask each.
template <typename Unit>
constexpr std::size_t BLOCK = 64 / sizeof(Unit);

#if defined(__SSE2__)
// The first whole block from i on that holds a unit in the superset, or the
// end of the whole blocks. Four-byte units are narrowed to two bytes first,
// the BMP ones as they are and the others to U+FFFF (outside every window),
// and their block numbers beside them: half the tests per unit.
template <typename Unit>
std::size_t skip_blocks_sse2(const Unit* p, std::size_t i, std::size_t n) noexcept {
    const auto load = [&](std::size_t at) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + at)); };
    for (; i + BLOCK<Unit> <= n; i += BLOCK<Unit>) {
        __m128i hit = _mm_setzero_si128();
        for (std::size_t k = 0; k < BLOCK<Unit>; k += 8) {
            __m128i v;
            if constexpr (sizeof(Unit) == 2) {
                v = load(i + k);
            } else {
                // Saturating to signed sixteen bits around 0x8000.
                const __m128i half = _mm_set1_epi32(0x8000);
                const __m128i a = load(i + k), b = load(i + k + 4);
                v = _mm_add_epi16(_mm_packs_epi32(_mm_sub_epi32(a, half), _mm_sub_epi32(b, half)),
                                  _mm_set1_epi16(short(0x8000)));
                const __m128i blocks = _mm_packs_epi32(_mm_srli_epi32(a, 11), _mm_srli_epi32(b, 11));
                for (const Window& w : SUPPLEMENTARY_WINDOWS)
                    hit = _mm_or_si128(hit, _mm_cmpeq_epi16(blocks, _mm_set1_epi16(short(w.first >> 11))));
            }
            for (const Window& w : BMP_SUPERSET) hit = _mm_or_si128(hit, in_range(v, w, std::uint16_t{}));
        }
        if (_mm_movemask_epi8(hit) != 0) break;
    }
    return i;
}
#endif

#if SCRIVLET_AVX2_DISPATCH
// The same with AVX2 where the processor has it (checked at run time: the
// library is built for plain x86-64): half the instructions per block, which
// brings the scan to the speed of memory on Vietnamese and other text whose
// letters lie between the windows.
[[gnu::target("avx2")]] inline __m256i in_range_avx2(__m256i v, const Window& w) noexcept {
    if (w.first == w.last) return _mm256_cmpeq_epi16(v, _mm256_set1_epi16(short(w.first)));
    const __m256i x = _mm256_add_epi16(v, _mm256_set1_epi16(short(std::uint16_t(0x8000u - w.first))));
    return _mm256_cmpgt_epi16(_mm256_set1_epi16(short(std::uint16_t(0x8000u + (w.last - w.first) + 1))), x);
}

template <typename Unit>
[[gnu::target("avx2")]] std::size_t skip_blocks_avx2(const Unit* p, std::size_t i, std::size_t n) noexcept {
    for (; i + BLOCK<Unit> <= n; i += BLOCK<Unit>) {
        const __m256i* at = reinterpret_cast<const __m256i*>(p + i);
        __m256i hit = _mm256_setzero_si256();
        for (std::size_t k = 0; k < BLOCK<Unit>; k += 16) {
            __m256i v;
            if constexpr (sizeof(Unit) == 2) {
                v = _mm256_loadu_si256(at + k / 16);
            } else {
                // The order of the units within the block does not matter here.
                const __m256i a = _mm256_loadu_si256(at + k / 8), b = _mm256_loadu_si256(at + k / 8 + 1);
                v = _mm256_packus_epi32(a, b);
                const __m256i blocks = _mm256_packus_epi32(_mm256_srli_epi32(a, 11), _mm256_srli_epi32(b, 11));
                for (const Window& w : SUPPLEMENTARY_WINDOWS)
                    hit = _mm256_or_si256(hit, _mm256_cmpeq_epi16(blocks, _mm256_set1_epi16(short(w.first >> 11))));
            }
            for (const Window& w : BMP_SUPERSET) hit = _mm256_or_si256(hit, in_range_avx2(v, w));
        }
        if (_mm256_movemask_epi8(hit) != 0) break;
    }
    return i;
}

const bool HAS_AVX2 = [] {
    __builtin_cpu_init();  // may run before the runtime's own constructors
    return __builtin_cpu_supports("avx2") != 0;
}();
std::atomic<bool> use_avx2{HAS_AVX2};
#endif

}  // namespace

void allow_avx2_scan([[maybe_unused]] bool allow) noexcept {
#if SCRIVLET_AVX2_DISPATCH
    use_avx2.store(allow && HAS_AVX2, std::memory_order_relaxed);
#endif
}

template <typename Unit>
LeftToRightScan scan_left_to_right(text::Fixed<Unit> text) noexcept {
    if constexpr (sizeof(Unit) == 1) {
        return {true, false};  // no Latin-1 code point is in a window, nor a surrogate
    } else {
        const Unit* p = text.data;
        const std::size_t n = text.size;
        LeftToRightScan out{true, false};
        // Unit by unit over [from, to): true once the answer is known.
        const auto units = [&](std::size_t from, std::size_t to) {
            for (std::size_t k = from; k < to; ++k) {
                if (is_surrogate(p[k])) {
                    out = {false, true};
                    return true;
                }
                if (moves_off_level_zero(p[k])) {
                    out = {false, text::has_surrogate(text::Fixed<Unit>{p + k, n - k})};
                    return true;
                }
            }
            return false;
        };
        std::size_t i = 0;
#if defined(__SSE2__)
        using Lane = std::conditional_t<sizeof(Unit) == 2, std::uint16_t, std::uint32_t>;
        constexpr std::size_t LANES = 16 / sizeof(Unit);
        for (;;) {
#if SCRIVLET_AVX2_DISPATCH
            i = use_avx2.load(std::memory_order_relaxed) ? skip_blocks_avx2(p, i, n) : skip_blocks_sse2(p, i, n);
#else
            i = skip_blocks_sse2(p, i, n);
#endif
            if (i + BLOCK<Unit> > n) break;
            // A block that hit: unit by unit where the wide windows hit.
            for (std::size_t k = i; k < i + BLOCK<Unit>; k += LANES) {
                const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + k));
                for (unsigned m = unsigned(_mm_movemask_epi8(in_superset<Lane>(v))); m != 0;) {
                    const unsigned lane = unsigned(std::countr_zero(m)) / sizeof(Unit);
                    if (units(k + lane, k + lane + 1)) return out;
                    m &= ~0u << ((lane + 1) * sizeof(Unit));
                }
            }
            i += BLOCK<Unit>;
        }
#endif
        units(i, n);
        return out;
    }
}

template <typename Unit>
bool stays_left_to_right(text::Fixed<Unit> text) noexcept {
    return scan_left_to_right(text).left_to_right;
}

template LeftToRightScan scan_left_to_right(text::Latin1) noexcept;
template LeftToRightScan scan_left_to_right(text::Ucs2) noexcept;
template LeftToRightScan scan_left_to_right(text::Ucs4) noexcept;
template bool stays_left_to_right(text::Latin1) noexcept;
template bool stays_left_to_right(text::Ucs2) noexcept;
template bool stays_left_to_right(text::Ucs4) noexcept;

namespace {

template <typename Text>
BidiLayout laid_out(Text text, bool reorder) {
    BidiLayout out;
    layout_of(text, reorder, out);
    return out;
}

}  // namespace

BidiLayout bidi_layout(std::string_view text) { return laid_out(text, true); }

template <typename Unit>
BidiLayout bidi_layout(text::Fixed<Unit> text) {
    return laid_out(text, true);
}

BidiLayout bidi_levels(std::string_view text) { return laid_out(text, false); }

template <typename Unit>
BidiLayout bidi_levels(text::Fixed<Unit> text) {
    return laid_out(text, false);
}

template BidiLayout bidi_layout(text::Latin1);
template BidiLayout bidi_layout(text::Ucs2);
template BidiLayout bidi_layout(text::Ucs4);
template BidiLayout bidi_levels(text::Latin1);
template BidiLayout bidi_levels(text::Ucs2);
template BidiLayout bidi_levels(text::Ucs4);

constinit const Planes01Classes PLANES01_CLASSES = BIDI_PLANES01;

BidiResult resolve_bidi(std::string_view text) { return expand(bidi_layout(text)); }

BidiResult resolve_bidi_levels(std::string_view text) { return expand(bidi_levels(text)); }

}  // namespace scrivlet::bidi
