#include "mod.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <cstring>
#include <memory>
#include <new>
#include <optional>
#include <type_traits>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#define SCRIVLET_STRETCH_AVX2 1
#endif

#include "../data/line_break.h"
#include "../utf8.h"
#include "../vector_units.h"
#include "dictionary.h"
#include "runs.h"
#include "units.h"

namespace scrivlet::linebreak {

namespace {

using data::LineBreakClass;
using C = LineBreakClass;
using A = BreakAction;

using ClassSet = std::uint64_t;

constexpr ClassSet set_of(C c) { return ClassSet(1) << unsigned(c); }
template <typename... Cs>
constexpr ClassSet set_of(C c, Cs... rest) {
    return set_of(c) | set_of(rest...);
}
constexpr bool in(C c, ClassSet s) { return (s >> unsigned(c)) & 1; }

constexpr ClassSet MARKS = set_of(C::CM, C::ZWJ);
constexpr ClassSet HARD_BREAKS = set_of(C::BK, C::CR, C::LF, C::NL);
// Bases that marks do not attach to (LB9, LB10).
constexpr ClassSet NO_ATTACH = set_of(C::BK, C::CR, C::LF, C::NL, C::SP, C::ZW);
constexpr ClassSet HYPHENS = set_of(C::HY, C::HH);
constexpr ClassSet ALPHA = set_of(C::AL, C::HL);
constexpr ClassSet CLOSE = set_of(C::CL, C::CP);
constexpr ClassSet AK_AS = set_of(C::AK, C::AS);
constexpr ClassSet PREFIX_POSTFIX = set_of(C::PR, C::PO);

constexpr char32_t DOTTED_CIRCLE = 0x25CC;

// Most pairs depend on nothing but the two classes and the LB25 look-back: no
// line end, space, ZW, ZWJ or mark on either side (LB4..LB9, LB18), no class
// whose rules read code points, bases or the text ahead (QU, OP and CP for
// LB19, LB19a, LB25 and LB30; HY and HH for LB20a and LB21a; PR and PO for
// LB25; EM and RI for LB30a and LB30b; AK, AS, AP, VI and U+25CC for LB28a).
// With prev not SP, the spaces of LB14..LB17 are none and the code point
// before them is prev. Their decisions are read from PairRules::PAIRS, which
// the rules themselves computed at compile time.
constexpr ClassSet RAW_SLOW_PREV = set_of(C::BK, C::CR, C::LF, C::NL, C::SP, C::ZW, C::ZWJ);
constexpr ClassSet RAW_SLOW_CUR =
    set_of(C::BK, C::CR, C::LF, C::NL, C::SP, C::ZW, C::CM, C::ZWJ);
constexpr ClassSet QUICK_PREV =
    ~(set_of(C::QU, C::CP, C::HY, C::HH, C::PR, C::PO, C::RI, C::AK, C::AS, C::AP, C::VI) |
      RAW_SLOW_PREV);
constexpr ClassSet QUICK_CUR = ~(set_of(C::QU, C::OP, C::EM, C::RI) | RAW_SLOW_CUR);
// PR and PO read the text ahead only before HY and OP (LB25), which the lane
// leaves to the rules; before any other base of it PAIRS holds their
// decisions too. HY and HH read the class before them (LB20a, LB21a), which
// the lane has at hand and checks beside PAIRS; CP reads whether it is East
// Asian before AL, HL and NU (LB30), which the lane leaves to the rules.
constexpr ClassSet LANE_ONLY_PREV = PREFIX_POSTFIX | HYPHENS | set_of(C::CP);
// Bases that are quick both as prev and as cur, and PR, PO, HY, HH and CP:
// the lane of decide_pairs.
constexpr ClassSet LANE =
    (QUICK_PREV & QUICK_CUR & ~(RAW_SLOW_PREV | RAW_SLOW_CUR)) | LANE_ONLY_PREV;
static_assert(!in(C::OP, LANE) && (QUICK_CUR & LANE_ONLY_PREV) == LANE_ONLY_PREV,
              "PR, PO, HY, HH and CP decide from PAIRS before every base of the lane");

// One code point with what the rules read about it and about its base (the
// nearest code point at or before it that is not CM or ZWJ; the first code point
// when there is none), so that no rule has to look back in the text.
struct Char {
    std::size_t offset = 0;  // in UTF-8 bytes
    std::size_t index = 0;   // in the text's own units
    char32_t cp = 0;
    C cls = C::XX;  // line_break_class (LB1 applied)
    C eff = C::XX;  // after LB9 and LB10
    C base_cls = C::XX;
    char32_t base_cp = 0;
    bool has_base = false;    // a code point that is not CM or ZWJ is at or before this one
    bool base_first = true;   // the base is the first code point of the text
    // The code point before the base (when !base_first): its class, its code
    // point and the code point at its own base.
    C before_eff = C::XX;
    char32_t before_cp = 0;
    char32_t before_base_cp = 0;
    // The pair rules can decide this code point as prev, or as cur, from PAIRS.
    bool quick_prev = false;
    bool quick_cur = false;

    // A mark takes over the base of the code point it follows, and what lies
    // before that base.
    constexpr void take_base_of(const Char& o) noexcept {
        base_cls = o.base_cls;
        base_cp = o.base_cp;
        has_base = o.has_base;
        base_first = o.base_first;
        before_eff = o.before_eff;
        before_cp = o.before_cp;
        before_base_cp = o.before_base_cp;
    }
};

// U+0000 is not wide: the pair table, built at compile time, stands it for
// a code point that is not East Asian.
constexpr bool east_asian(char32_t cp) { return cp != 0 && data::is_east_asian_wide(cp); }

// Letters (AL) and marks (CM) of the BMP, one bit each in any, marks also in
// marks. After a letter, or a mark that takes the class of one, every pair
// among them is Prohibited (LB28 AL × AL; LB9 for a mark) and leaves the pair
// rules as after letters, so a stretch of them is stepped over without
// deciding each pair: most of Thai, Lao, Khmer, Myanmar and many other
// scripts. U+25CC, which LB28a reads, is left out.
struct StretchSets {
    std::uint64_t any[1024] = {};
    std::uint64_t marks[1024] = {};
    std::uint64_t alpha[1024] = {};  // AL and HL, U+25CC left out: the letters of LB28
};

constexpr StretchSets build_stretch_sets() {
    StretchSets t;
    for (char32_t cp = 0; cp < 0x10000; ++cp) {
        const C cls = data::line_break_class(cp);
        if ((cls == C::AL || cls == C::HL) && cp != DOTTED_CIRCLE)
            t.alpha[cp >> 6] |= std::uint64_t(1) << (cp & 63);
        if ((cls != C::AL && cls != C::CM) || cp == DOTTED_CIRCLE) continue;
        t.any[cp >> 6] |= std::uint64_t(1) << (cp & 63);
        if (cls == C::CM) t.marks[cp >> 6] |= std::uint64_t(1) << (cp & 63);
    }
    return t;
}

constexpr StretchSets STRETCH = build_stretch_sets();

// The column of the rules' ASCII table (PairRules::AsciiTable) for each code
// point of the BMP: an ASCII code point's own; for any other, the column of
// its class where the rules read it as nothing but its class, which they
// cannot tell from the table's sample of that class (not a quote, not U+25CC,
// not East Asian), with HL and the marks (CM) in columns of their own; EXIT
// for the rest, U+FFFF included, which stands for every code point above it.
// One load a unit: the words of most scripts, with their marks, digits and
// punctuation, go through the table. Each entry also holds, above the column,
// whether the code point is a letter (AL) or a mark (CM) of the table
// (STRETCH_BIT) and its UTF-8 length less one, so that a stretch of them is
// passed eight units at a time.
struct LetterColumns {
    static constexpr unsigned COLUMN_MASK = 0x1F;
    static constexpr unsigned STRETCH_BIT = 0x20;
    static constexpr unsigned LENGTH_SHIFT = 6;
    // Four more (of no use): a gather reads four bytes at the entry of U+FFFF.
    std::uint8_t of[0x10000 + 4] = {};
};

template <typename Table>
constexpr LetterColumns build_letter_columns(const Table& table, unsigned exit) {
    LetterColumns t;
    unsigned column_of_class[unsigned(C::XX) + 1] = {};
    for (unsigned& column : column_of_class) column = exit;
    for (unsigned k = 0; k < exit; ++k)
        if (table.class_of[k] != C::XX) column_of_class[unsigned(table.class_of[k])] = k;
    for (char32_t cp = 0; cp < 0x10000; ++cp) {
        const C cls = data::line_break_class(cp);
        unsigned column = exit;
        if (cp < 0x80) {
            column = table.column[cp];
        } else if (cls != C::QU && cp != DOTTED_CIRCLE && column_of_class[unsigned(cls)] != exit &&
                   !data::is_east_asian_wide(cp)) {
            column = column_of_class[unsigned(cls)];
        }
        if (column > LetterColumns::COLUMN_MASK) throw "a column does not fit";
        const bool stretch = column != exit && (table.class_of[column] == C::AL ||
                                                table.class_of[column] == C::CM);
        t.of[cp] = std::uint8_t(column | (stretch ? LetterColumns::STRETCH_BIT : 0) |
                                ((text::utf8_length(cp) - 1) << LetterColumns::LENGTH_SHIFT));
    }
    t.of[0xFFFF] = std::uint8_t(exit | (2 << LetterColumns::LENGTH_SHIFT));
    return t;
}

extern const LetterColumns LETTER_COLUMNS;

// For each block of 128 code points, a bit for each letter or mark of a
// stretch (STRETCH_BIT) and for each letter of the table's column of 'a',
// so that sixteen units of one block are told apart in a few vector steps.
struct StretchBlocks {
    struct Block {
        std::uint8_t member[16];
        std::uint8_t letter[16];
        bool chunks;  // worth the vector steps (see build_stretch_blocks)
    };
    unsigned letter_column = 0;
    Block of[0x200] = {};
};

// The gaps that a stretch goes on over are U+0020 and U+200B, and nothing
// else has their columns: the vector steps compare units, not columns.
constexpr StretchBlocks build_stretch_blocks(const LetterColumns& columns, unsigned letter, unsigned space,
                                             unsigned zw) {
    StretchBlocks t;
    t.letter_column = letter;
    for (char32_t cp = 0; cp < 0x10000; ++cp) {
        const unsigned entry = columns.of[cp], column = entry & LetterColumns::COLUMN_MASK;
        if ((column == space) != (cp == 0x20) || (column == zw) != (cp == 0x200B))
            throw "a gap's column is not U+0020's or U+200B's alone";
        auto& b = t.of[cp >> 7];
        const std::uint8_t bit = std::uint8_t(1u << (cp % 8));
        if (entry & LetterColumns::STRETCH_BIT) b.member[(cp & 0x7F) / 8] |= bit;
        if (column == letter) {
            if (!(entry & LetterColumns::STRETCH_BIT)) throw "a letter outside the stretches";
            b.letter[(cp & 0x7F) / 8] |= bit;
        }
    }
    // Not the blocks of Latin letters and of the marks on them: they stand
    // in words of ASCII letters, which end the vector steps at once.
    for (unsigned k = 0; k < 0x200; ++k) {
        const char32_t first = k << 7;
        t.of[k].chunks = !(first < 0x380 || (first >= 0x1D00 && first < 0x1F00) || first == 0x2C00 ||
                           (first >= 0xA700 && first < 0xA800) || first == 0xAB00 || first == 0xFB00);
    }
    return t;
}

extern const StretchBlocks STRETCH_BLOCKS;

#if SCRIVLET_STRETCH_AVX2
const bool HAS_AVX2 = [] {
    __builtin_cpu_init();  // may run before the runtime's own constructors
    return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("popcnt") &&
           __builtin_cpu_supports("bmi");
}();
std::atomic<bool> use_avx2{HAS_AVX2};

std::size_t stretch_chunks_avx2(const char16_t* d, std::size_t n, std::size_t& at, std::size_t& offset,
                                Opportunity* slots, std::size_t room, bool& ended) noexcept;
#endif

// The column of the rules' emoji table (PairRules::EmojiTable) for each code
// point below U+20000, its UTF-8 length less one above it: the bases of emoji
// sequences (ID, EB, EM), letters (AL, the class LB1 gives the gender signs),
// U+0020, marks (CM, the variation selectors among them) and U+200D; EXIT for
// the rest, and for the code points whose pairs the rules read more of than
// their class (U+25CC for LB28a, the unassigned pictographs of LB30b). Only
// the blocks that emoji sequences draw on are mapped: below U+3000, the
// variation selectors, and U+1F000 on. One byte a code point, so that a unit
// costs one load.
struct EmojiColumns {
    enum : unsigned { SP, AL, ID, EB, EM, CM, ZWJ, RI, EXIT, COUNT };
    static constexpr unsigned LIMIT = 0x20000;
    static constexpr unsigned COLUMN_MASK = 15, LENGTH_SHIFT = 4;
    static constexpr C class_of[COUNT] = {C::SP, C::AL, C::ID, C::EB, C::EM, C::CM, C::ZWJ, C::RI, C::XX};
    static_assert(AL + 1 == ID && ID + 1 == EB && EB + 1 == EM, "the bases are one range of columns");
    std::uint8_t of[LIMIT] = {};

    static constexpr unsigned column_for(char32_t cp) {
        if (cp == 0x20) return SP;
        if (cp == 0x200D) return ZWJ;
        if (!(cp < 0x3000 || (cp >= 0xFE00 && cp < 0xFE10) || cp >= 0x1F000) || cp == DOTTED_CIRCLE ||
            data::is_unassigned_pictographic(cp))
            return EXIT;
        switch (data::line_break_class(cp)) {
        case C::AL: return AL;
        case C::ID: return ID;
        case C::EB: return EB;
        case C::EM: return EM;
        case C::CM: return CM;
        case C::RI: return RI;
        default: return EXIT;
        }
    }
};

constexpr EmojiColumns build_emoji_columns() {
    EmojiColumns t;
    for (char32_t cp = 0; cp < EmojiColumns::LIMIT; ++cp)
        t.of[cp] = std::uint8_t(EmojiColumns::column_for(cp) |
                                ((text::utf8_length(cp) - 1) << EmojiColumns::LENGTH_SHIFT));
    return t;
}

extern const EmojiColumns EMOJI_COLUMNS;

// The entry of EMOJI_COLUMNS for a unit: EXIT, with a length of four, from
// U+20000 on.
inline unsigned emoji_entry(char32_t u) {
    constexpr unsigned BEYOND = EmojiColumns::EXIT | (3u << EmojiColumns::LENGTH_SHIFT);
    return u < EmojiColumns::LIMIT ? EMOJI_COLUMNS.of[u] : BEYOND;
}

// The rules' table two units of ASCII a step, over the states that ASCII
// reaches from a letter: each step's load waits on the last, so that a step
// per unit bounds English at one load's latency a unit. Column WIDTH - 1
// stands for every unit that stops the table; a pair that either unit would
// stop the table at asks.
struct AsciiPairTable {
    static constexpr unsigned WIDTH = 16;
    static constexpr unsigned STRIDE = WIDTH * WIDTH;  // the entries of a state
    static constexpr unsigned MAX_STATES = 48;
    static constexpr std::uint16_t NONE = 0xFFFF;
    // The two decisions as TableOut::put_pair writes them, a slot each: in
    // the first, the first of them that is kept, at `first_at` (0 or 1) past
    // the pair's offset; in the second, the second unit's. The first `kept`
    // slots count (0, 1 or 2).
    struct Step {
        std::uint16_t next;  // the next state * STRIDE; NONE where the pair asks
        BreakAction first, second;
        std::uint8_t first_at, kept;
        std::uint8_t unused[2];  // eight bytes, so that a step's address is one scaled index
    };
    std::uint8_t column[128] = {};
    // The state of each row of the rules' table (times STRIDE), NONE for the
    // rows outside; and the row of each state.
    std::uint16_t state_of_row[512] = {};
    std::uint16_t row_of[MAX_STATES] = {};
    unsigned states = 0;
    Step steps[MAX_STATES * STRIDE] = {};
};

extern const AsciiPairTable ASCII_PAIRS;

// The entry of LETTER_COLUMNS for a unit: U+FFFF's for every code point from
// it on.
inline unsigned letter_entry(char32_t u) { return LETTER_COLUMNS.of[u < 0xFFFF ? u : 0xFFFF]; }

// The number of bits set in a byte (a table: no population count instruction
// is assumed).
struct BitCounts {
    std::uint8_t of[256] = {};
    constexpr BitCounts() {
        for (unsigned b = 0; b < 256; ++b) of[b] = std::uint8_t(std::popcount(b));
    }
    constexpr std::uint8_t operator[](unsigned b) const { return of[b]; }
};
constexpr BitCounts BIT_COUNT;

inline bool in_stretch(char32_t cp) {
    return cp < 0x10000 && ((STRETCH.any[cp >> 6] >> (cp & 63)) & 1);
}

inline bool is_stretch_mark(char32_t cp) { return (STRETCH.marks[cp >> 6] >> (cp & 63)) & 1; }

inline bool is_alpha_letter(char32_t cp) {
    return cp < 0x10000 && ((STRETCH.alpha[cp >> 6] >> (cp & 63)) & 1);
}

// ID, H2 and H3: every pair of them breaks (LB31, whatever the look-back;
// checked below), so that a run of them, most of Chinese, Japanese and Korean,
// is stepped over with an Allowed before each and no pair decided. NS and CL
// (the small kana and the prolonged sound mark, the ideographic comma and
// full stop) are held to what precedes them in a run (LB21, LB13), and LB31
// breaks after them before ID, H2 and H3 (checked below): the fixed-width
// forms pass them within the runs. One bit per code point of the BMP for each.
constexpr ClassSet BREAKING = set_of(C::ID, C::H2, C::H3);
constexpr ClassSet HELD = set_of(C::NS, C::CL);

struct RunSets {
    struct Word {
        std::uint64_t breaking, held;
    };
    Word words[1024] = {};
};

constexpr RunSets build_run_sets() {
    RunSets t;
    for (char32_t cp = 0; cp < 0x10000; ++cp) {
        const C cls = data::line_break_class(cp);
        const std::uint64_t bit = std::uint64_t(1) << (cp & 63);
        if (in(cls, BREAKING)) t.words[cp >> 6].breaking |= bit;
        if (in(cls, HELD)) t.words[cp >> 6].held |= bit;
    }
    return t;
}

constexpr RunSets RUN_SETS = build_run_sets();

// The runs of them in the fixed-width forms step their offsets by three bytes.
constexpr bool breaking_take_three_bytes() {
    for (std::size_t w = 0; w < 0x800 / 64; ++w)
        if (RUN_SETS.words[w].breaking != 0) return false;
    return true;
}
static_assert(breaking_take_three_bytes(), "ID, H2 and H3 of the BMP lie at U+0800 and above");

inline bool is_breaking(char32_t cp) {
    return cp < 0x10000 && ((RUN_SETS.words[cp >> 6].breaking >> (cp & 63)) & 1);
}

inline bool is_held(char32_t cp) {
    return cp < 0x10000 && ((RUN_SETS.words[cp >> 6].held >> (cp & 63)) & 1);
}

// x is a letter or a mark that stands as a letter, and not U+25CC or on it.
inline bool stretch_like(const Char& x) {
    return (x.cls == C::AL || x.cls == C::CM) && x.eff == C::AL && x.base_cp != DOTTED_CIRCLE;
}

// Without branches (& rather than &&): the flags of neighbouring code points
// differ too often to predict.
[[gnu::always_inline]] inline void set_quick_flags(Char& c) {
    c.quick_prev = (unsigned(!in(c.cls, RAW_SLOW_PREV)) & unsigned(in(c.eff, QUICK_PREV)) &
                    unsigned(c.base_cp != DOTTED_CIRCLE)) != 0;
    c.quick_cur = (unsigned(!in(c.cls, RAW_SLOW_CUR)) & unsigned(in(c.eff, QUICK_CUR)) &
                   unsigned(c.cp != DOTTED_CIRCLE)) != 0;
}

// The look-ahead of LB25 and LB28a, which only some pairs need: the class of
// the first code point at or after a unit index whose raw class is not in
// skip (XX at the end of the text). Kept apart from the reader's type so that
// the pair rules and their table exist once for every form of text.
struct LookAhead {
    const void* reader = nullptr;
    C (*call)(const void*, std::size_t, ClassSet) = nullptr;
    C first_class_skipping(std::size_t index, ClassSet skip) const { return call(reader, index, skip); }
};

// Where the table's steps write their decisions (defined with the batch).
template <typename Emit>
class TableOut;
// The room that TableOut makes for a stretch of letters (Reader::columns_end)
// to write the breaks between its words: four of every eight units at most.
inline constexpr std::size_t STRETCH_ROOM = 16;

#if SCRIVLET_VECTOR_UNITS
const bool HAS_VBMI = vector_units::vbmi_supported();
// The blocks that the vector steps read (see steps_reading); and, where the
// text changes script so often that the steps keep bringing blocks in, the
// units for which they look each unit's entry up instead.
struct LineBlocks : vector_units::Blocks<4> {
    std::size_t gathering = 0;
};
std::atomic<bool> use_vector_steps{HAS_VBMI};

// Where the vector steps of the table (line_steps_vector) ended: the unit
// after the last they decided, its UTF-8 offset and the table's row there,
// and how many breaks they wrote.
struct VectorRun {
    std::size_t end, offset;
    unsigned row;
    std::size_t put;
    bool new_block;  // they brought a block in, within a step or where they stopped
};
// The room they ask of the batch before each step: 62 breaks at most,
// written eight at a time.
inline constexpr std::size_t VECTOR_ROOM = 64;

template <typename Unit>
[[SCRIVLET_VBMI_TARGET]] VectorRun line_steps_vector(const Unit* d, std::size_t n, std::size_t at,
                                                     std::size_t offset, unsigned row, Opportunity* slots,
                                                     std::size_t room, LineBlocks& blocks) noexcept;
#endif

// Reads the code points one by one and applies LB9 and LB10 as it goes.
template <typename Units>
class Reader {
public:
    explicit Reader(Units text) : text_(text) {}
    bool done() const { return pos_ >= text_.size(); }
    // The UTF-8 offset and the unit index of the next code point.
    std::size_t offset() const { return off_; }
    std::size_t index() const { return pos_; }

    LookAhead look_ahead() const {
        return {this, [](const void* r, std::size_t index, ClassSet skip) {
                    return static_cast<const Reader*>(r)->first_class_skipping(index, skip);
                }};
    }

    // Reads the next code point into c; last is the one before it (ignored for
    // the first).
    [[gnu::always_inline]] inline void next(Char& c, const Char& last) {
        c.offset = off_;
        c.index = pos_;
        std::size_t len;
        c.cp = text_.decode(pos_, len);
        pos_ += len;
        off_ += Units::utf8_bytes(c.cp, len);
        c.cls = data::line_break_class(c.cp);
        const bool first = c.index == 0;
        if (!in(c.cls, MARKS)) {
            c.eff = c.base_cls = c.cls;
            c.base_cp = c.cp;
            c.has_base = true;
            c.base_first = first;
            if (!first) {
                c.before_eff = last.eff;
                c.before_cp = last.cp;
                c.before_base_cp = last.base_cp;
            }
        } else if (first) {
            c.eff = C::AL;  // LB10: a mark at the start of the text
            c.base_cls = c.cls;
            c.base_cp = c.cp;
            c.has_base = false;
            c.base_first = true;
        } else {
            // The base and what lies before it are the last code point's.
            c.take_base_of(last);
            // LB9: a mark takes the class of its base; LB10: AL after no base or
            // after BK, CR, LF, NL, SP or ZW.
            c.eff = c.has_base && !in(c.base_cls, NO_ATTACH) ? c.base_cls : C::AL;
        }
        set_quick_flags(c);
    }

    static bool is_ascii_letter(char32_t cp) { return ((cp | 0x20) - 'a') < 26; }

    // With p and c ASCII letters (AL, the pair between them AL × AL), moves the
    // window over the run of ASCII letters that follows: p and c become the last
    // two letters of the run. False (and nothing moved) if no letter follows c.
    bool skip_letters(Char& p, Char& c) {
        const std::size_t end = ascii_letter_run_end(pos_);
        if (end == pos_) return false;
        // Letters at end - 2 and end - 1 (one byte each); the one at end - 2 may be c itself.
        const std::size_t p_index = end - 2;
        const char32_t before_p = p_index == c.index ? p.cp : text_.unit(p_index - 1);
        const std::size_t base = off_ - pos_;  // offset of index i here: base + i
        letter(p, p_index, base + p_index, text_.unit(p_index), before_p);
        letter(c, end - 1, base + end - 1, text_.unit(end - 1), text_.unit(p_index));
        off_ += end - pos_;
        pos_ = end;
        return true;
    }

    // With p and c stretch_like, moves the window over the letters and marks
    // (in_stretch) that follow: p and c become the last two code points read,
    // with what the rules read about their bases. False (and nothing moved) if
    // none follows c.
    bool skip_stretch(Char& p, Char& c) {
        std::size_t i = pos_, off = off_, len = 0;
        char32_t last = 0;
        if constexpr (Units::FIXED) {
            // One unit per code point: the UTF-8 length is counted as the units pass.
            const auto* d = text_.data;
            const std::size_t n = text_.size();
            while (i < n && in_stretch(d[i])) {
                off += 1 + (d[i] >= 0x80) + (d[i] >= 0x800);  // BMP only
                ++i;
            }
            if (i > pos_) last = d[i - 1];
        } else {
            while (i < text_.size()) {
                const char32_t cp = text_.decode(i, len);
                if (!in_stretch(cp)) break;
                i += len;
                off += Units::utf8_bytes(cp, len);
                last = cp;
            }
        }
        if (i == pos_) return false;
        const Char c0 = c;
        const std::size_t c_index = text_.previous(i);
        const std::size_t c_offset = off - Units::utf8_bytes(last, i - c_index);
        fill(c, c_index, c_offset, c0);
        if (c_index == pos_) {
            p = c0;
        } else {
            const std::size_t p_index = text_.previous(c_index);
            std::size_t p_len;
            const char32_t p_cp = text_.decode(p_index, p_len);
            fill(p, p_index, c_offset - Units::utf8_bytes(p_cp, p_len), c0);
        }
        pos_ = i;
        off_ = off;
        return true;
    }

    // In the fixed-width forms, whether the rules' table can go on with next
    // after a space: next has a column. East Asian text and emoji, kept out
    // of the table, are not looked up: they read the entry of U+FFFF, with no
    // branch to mispredict.
    template <typename Rules>
    static bool table_takes(char32_t next) {
        if constexpr (!Units::FIXED) {
            return false;
        } else {
            const unsigned clamped = next < 0x3000 ? unsigned(next) : 0xFFFFu;
            return (LETTER_COLUMNS.of[clamped] & LetterColumns::COLUMN_MASK) != Rules::ASCII_EXIT;
        }
    }

    // Whether the table takes a letter or mark after a letter, for its
    // vector steps to take the text from there (in place of the stretches
    // that the lane passes: Thai, Myanmar, Devanagari).
    bool vector_takes([[maybe_unused]] C eff, [[maybe_unused]] C cls, [[maybe_unused]] char32_t next) const {
#if SCRIVLET_VECTOR_UNITS
        if constexpr (Units::FIXED && sizeof(*text_.data) > 1)
            return eff == C::AL && cls == C::AL && pos_ >= vector_from_ && text_.size() - pos_ >= 62 &&
                   next < 0x10000 && (LETTER_COLUMNS.of[next] & LetterColumns::STRETCH_BIT) &&
                   use_vector_steps.load(std::memory_order_relaxed);
#endif
        return false;
    }

    // Whether a step that asks (ask) is one that holds unless a digit
    // follows, and the unit at j, printable ASCII other than a digit, lets
    // the table take it.
    template <typename Rules>
    bool takes_digit_ahead(std::uint8_t ask, std::size_t j) const {
        if (ask != Rules::DIGIT_AHEAD || j >= text_.size()) return false;
        const char32_t u = text_.unit(j);
        return u >= 0x20 && u < 0x7F && (u < '0' || u > '9');
    }

#if SCRIVLET_VECTOR_UNITS
    // The unit from which the vector steps try again, after how many units
    // of the steps of one unit, how many tries that bring in a block may go
    // again at once, and the blocks they read beside ASCII.
    std::size_t vector_from_ = 0, vector_wait_ = 2;
    unsigned vector_blocks_left_ = 4;
    LineBlocks vector_blocks_;
#endif

    // Where the table's steps stopped: the unit and its UTF-8 offset, the
    // offset of the last unit passed, and the row of the state there.
    struct TableRun {
        std::size_t end, offset, last_offset;
        unsigned row;
    };

    // The table's steps from unit `from`, at UTF-8 offset `offset`, in the
    // state of `row`. Out of line, so that the lane keeps its own state in
    // registers: it runs once per pass of the table.
    template <typename Rules, typename Emit>
    [[gnu::noinline]] TableRun table_steps(unsigned row, std::size_t from, std::size_t offset, Emit& emit) {
        // A step of the rules' table per unit, with no branch on what the
        // unit is, until a unit outside ASCII or one whose pair the table
        // leaves to the lane.
        const auto& table = Rules::ASCII;
        const std::size_t n = text_.size();
        std::size_t i = from, off = offset, last_off = offset - 1;
        TableOut<Emit> out(emit);
        // Two ASCII units a step from unit `unit`, at UTF-8 offset
        // `at_offset`, while neither asks, from a state that the pair table
        // has.
        using Pairs = AsciiPairTable;
        const auto pairs = [&](std::size_t& unit, std::size_t& at_offset) __attribute__((always_inline)) {
            unsigned at = ASCII_PAIRS.state_of_row[row / Rules::ASCII_COLUMNS];
            if (at == Pairs::NONE) return;
            std::size_t k = unit, ko = at_offset;
            // Each pair keeps two slots at most: as many pairs as the room
            // holds go with no check of it.
            for (;;) {
                out.make_room();
                const std::size_t stop = std::min(n, k + (out.room() & ~std::size_t(1)));
                bool stopped = false;
                while (k + 2 <= stop) {
                    const char32_t u0 = text_.unit(k), u1 = text_.unit(k + 1);
                    if ((u0 | u1) >= 0x80) {
                        stopped = true;
                        break;
                    }
                    const auto& pair =
                        ASCII_PAIRS.steps[at + ASCII_PAIRS.column[u0] * Pairs::WIDTH + ASCII_PAIRS.column[u1]];
                    if (pair.next == Pairs::NONE) {
                        stopped = true;
                        break;
                    }
                    out.put_pair(ko, pair.first, pair.first_at, pair.second, pair.kept);
                    at = pair.next;
                    k += 2;
                    ko += 2;
                }
                if (stopped || k + 2 > n) break;
            }
            row = ASCII_PAIRS.row_of[at / Pairs::STRIDE];
            if (k != unit) last_off = ko - 1;
            unit = k;
            at_offset = ko;
        };
        pairs(i, off);
        // The ASCII units after it: each one's offset is its index plus a
        // constant.
        const std::size_t shift = off - i, ascii_from = i;
        while (i < n) {
            const char32_t u = text_.unit(i);
            if (u >= 0x80) break;
            const auto step = table.steps[row + table.column[u]];
            if (step.ask && !takes_digit_ahead<Rules>(step.ask, i + 1)) break;
            out.put(shift + i, step.action);
            row = step.next;
            ++i;
        }
        if (i != ascii_from) {
            off = shift + i;
            last_off = off - 1;
        }
        // In the fixed-width forms a code point outside ASCII that stopped it
        // (see LetterColumns) goes on with the table, the UTF-8 length of
        // each unit counted: the words of most scripts, their marks, and the
        // spaces, digits and punctuation between them, with no branch on
        // where a word or a syllable ends.
        if constexpr (Units::FIXED) {
            using Columns = LetterColumns;
            const auto* d = text_.data;
            const auto info = [d](std::size_t k) { return letter_entry(d[k]); };
            while (i < n) {
#if SCRIVLET_VECTOR_UNITS
                // Sixty-two units a step where the processor has AVX-512
                // with its byte permutes; where they stop at once, the steps
                // below take more units before the next try.
                if constexpr (sizeof(*d) > 1) {
                    // Not at a unit of no column (East Asian, a quote, an
                    // emoji), where they would stop at once.
                    if (i >= vector_from_ && i >= 2 && n - i >= 62 &&
                        (info(i) & Columns::COLUMN_MASK) != Rules::ASCII_EXIT &&
                        use_vector_steps.load(std::memory_order_relaxed)) {
                        out.make_room(VECTOR_ROOM);
                        const VectorRun run = line_steps_vector(d, n, i, off, row, out.free_slots(), out.room(),
                                                                vector_blocks_);
                        out.took(run.put);
                        const std::size_t gained = run.end - i;
                        if (gained != 0) {
                            i = run.end;
                            off = run.offset;
                            row = run.row;
                            last_off = off - 1 - (info(i - 1) >> Columns::LENGTH_SHIFT);
                        }
                        // A try that brought a block in goes again at once:
                        // four times in a row at most.
                        if (gained >= 32) {
                            vector_wait_ = 2;
                            vector_blocks_left_ = 4;
                        } else if (run.new_block && vector_blocks_left_ > 0) {
                            vector_wait_ = 2;
                            --vector_blocks_left_;
                        } else {
                            vector_wait_ = std::min<std::size_t>(2 * vector_wait_ + 1, 4096);
                        }
                        vector_from_ = i + vector_wait_;
                        if (i == n) break;
                        if (gained != 0) continue;
                    }
                }
#endif
                if (d[i] >= 0x300) {
                    // After a letter, the letters and marks that follow leave
                    // the state as it is, with nothing to emit (LB28, LB9):
                    // passed eight at a time; after a Hebrew letter (HL), the
                    // Hebrew letters and marks. So are the words after them,
                    // each after a single space, their breaks written straight
                    // to the batch. Latin words, short and mostly ASCII, step on.
                    std::size_t j = i;
                    const unsigned at = info(i);
                    // While the vector steps take the text, they take it
                    // again two units after a stop: faster than the stretches.
                    bool vector_next = false;
#if SCRIVLET_VECTOR_UNITS
                    if constexpr (sizeof(*d) > 1)
                        vector_next = vector_wait_ <= 8 && n - i >= 64 &&
                                      use_vector_steps.load(std::memory_order_relaxed);
#endif
                    if (vector_next) {
                        // the steps of one unit, below, until the next try
                    } else if ((at & Columns::STRETCH_BIT) && row == table.letter_row) {
                        out.make_room();
                        const auto [end, put] = stretch_end(i, off, table.column[' '], table.zw_column,
                                                            table.column['a'], out.free_slots(), out.room());
                        out.took(put);
                        j = end;
                    } else if ((at & Columns::COLUMN_MASK) == table.hl_column && row == table.hl_row) {
                        out.make_room();
                        const auto [end, put] = hebrew_end(i, off, table.column[' '], table.zw_column,
                                                           table.hl_column, table.mark_column,
                                                           out.free_slots(), out.room());
                        out.took(put);
                        j = end;
                    }
                    if (j != i) {
                        last_off = off - 1 - (info(j - 1) >> Columns::LENGTH_SHIFT);
                        i = j;
                        if (i == n) break;
                    }
                } else if (i + 1 < n && (d[i] | d[i + 1]) < 0x80) {
                    // Back to ASCII: two units a step again.
                    pairs(i, off);
                    if (i == n) break;
                }
                const unsigned at = info(i);
                const auto step = table.steps[row + (at & Columns::COLUMN_MASK)];
                if (step.ask && !takes_digit_ahead<Rules>(step.ask, i + 1)) break;
                out.put(off, step.action);
                row = step.next;
                last_off = off;
                off += 1 + (at >> Columns::LENGTH_SHIFT);
                ++i;
            }
        }
        out.done();
        return {i, off, last_off, row};
    }

    // The emoji table's steps (PairRules::EmojiTable) from unit `from`, at
    // UTF-8 offset `offset`, in the state of `row`: a load of the unit's
    // column and one of the step, until a unit that the table leaves to the
    // lane. Fixed-width forms only.
    template <typename Rules, typename Emit>
    [[gnu::noinline]] TableRun emoji_steps(unsigned row, std::size_t from, std::size_t offset, Emit& emit) {
        using E = EmojiColumns;
        const auto& table = Rules::EMOJI;
        const auto* d = text_.data;
        const std::size_t n = text_.size();
        std::size_t i = from, off = offset, last_off = offset - 1;
        // The row and last offset before the last step: a ZWJ's, where the
        // steps end after one.
        unsigned before_row = row;
        std::size_t before_last_off = last_off;
        TableOut<Emit> out(emit);
        while (i < n) {
            const unsigned at = emoji_entry(d[i]);
            const unsigned column = at & E::COLUMN_MASK;
            const auto step = table.steps[row + column];
            if (step.ask) {
                // Never after a ZWJ: back to it, for the lane to decide. (The
                // same as after the loop; a plain break to it there made
                // emoji text 14% slower with GCC 12.)
                if (row == Rules::ZWJ_ROW) {
                    --i;
                    off = last_off;
                    last_off = before_last_off;
                    row = before_row;
                    break;
                }
                // A flag: two regional indicators, one step (LB30a).
                if (column != E::RI || i + 1 == n) break;
                const unsigned second = emoji_entry(d[i + 1]);
                if ((second & E::COLUMN_MASK) != E::RI) break;
                const auto flag = table.flags[row / Rules::ASCII_COLUMNS];
                if (flag.ask) break;
                out.put(off, flag.action);
                before_row = row;
                before_last_off = last_off;
                row = flag.next;
                last_off = off + 1 + (at >> E::LENGTH_SHIFT);
                off = last_off + 1 + (second >> E::LENGTH_SHIFT);
                i += 2;
                continue;
            }
            out.put(off, step.action);
            before_row = row;
            before_last_off = last_off;
            row = step.next;
            last_off = off;
            off += 1 + (at >> E::LENGTH_SHIFT);
            ++i;
        }
        if (row == Rules::ZWJ_ROW) {
            --i;
            off = last_off;
            last_off = before_last_off;
            row = before_row;
        }
        out.done();
        return {i, off, last_off, row};
    }

    // The lane: with the pair (p, c) decided and c a base of LANE or a mark on
    // one, decides every pair after it while the code points are bases of
    // LANE, regional indicators, spaces, or marks after a base, with no Char
    // built for them: most text but for quotes, brackets, joiners and line
    // ends. Leaves p the last code point decided and reads the next one into
    // c; false if the text ended instead.
    template <typename Rules, typename Emit>
    bool lane(Rules& rules, Char& p, Char& c, Emit& emit) {
        // The last code point decided: what its Char holds.
        std::size_t index = c.index, offset = c.offset;
        char32_t cp = c.cp, base_cp = c.base_cp;
        C cls = c.cls, eff = c.eff;
        bool base_first = c.base_first;
        C before_eff = c.before_eff;
        char32_t before_cp = c.before_cp, before_base_cp = c.before_base_cp;
        // A new base (or space) of class x at unit i, UTF-8 offset o.
        auto base = [&](std::size_t i, std::size_t o, char32_t x, C x_cls) {
            before_eff = eff;
            before_cp = cp;
            before_base_cp = base_cp;
            base_first = false;
            index = i;
            offset = o;
            cp = base_cp = x;
            cls = eff = x_cls;
        };
        // A single space (LB7) and the letter after it (LB18), with no class
        // looked up; false when the rules must decide the letter.
        auto space_then_letter = [&](char32_t letter, std::size_t letter_len) {
            rules.lane_space();
            base(pos_, off_, ' ', C::SP);
            ++pos_;
            ++off_;
            if (!rules.lane_after_space(C::AL)) return false;
            emit(off_, A::Allowed);
            base(pos_, off_, letter, C::AL);
            pos_ += letter_len;
            off_ += Units::utf8_bytes(letter, letter_len);
            return true;
        };
        // After a table's steps from unit from, which stopped as run says: the
        // lane's state is set once, from the last code point passed, its base
        // and what precedes that base (end): marks are walked back over, never
        // further than where the table began, whose first unit is a base or a
        // mark on the lane's last base. False where the rules decide what
        // follows: after a ZW, and the spaces after one (LB8), as the lane's
        // pairs take no ZW before.
        auto settle = [&](const auto& end, std::size_t from, const TableRun& run) {
            const std::size_t i = run.end;
            const bool based = end.based;
            const std::size_t b = end.base;
            if (based) {
                if (b > from) {
                    if (end.before_based) {
                        eff = end.before_base_class;
                        base_cp = end.before_base_cp;
                    }
                    cp = text_.unit(b - 1);
                }
                base(b, end.base_offset, text_.unit(b), end.base_class);
            }
            if (!based || b != i - 1) {
                // LB9: the marks after the base take its class.
                index = i - 1;
                offset = run.last_offset;
                cp = text_.unit(i - 1);
                cls = C::CM;
            }
            rules.after_ascii(run.row);
            pos_ = i;
            off_ = run.offset;
            return rules.decides_after_space();
        };
        while (pos_ < text_.size()) {
            std::size_t len;
            const char32_t next = text_.decode(pos_, len);
            // The table is entered from ASCII, or from a space before a code
            // point that has a column: the words of most scripts. (Tried after
            // any base, it costs East Asian text and emoji a lookup a step.)
            if ((next < 0x80 && cp < 0x80 && cls == eff) || (cls == C::SP && table_takes<Rules>(next)) ||
                vector_takes(eff, cls, next)) {
                unsigned row = rules.ascii_row_after(eff, before_eff, base_first);
                const std::size_t from = pos_;
                std::size_t i = from, off = off_, last_off = off - 1;
                if (row < Rules::ASCII_STATES * Rules::ASCII_COLUMNS) {
                    const TableRun run = table_steps<Rules>(row, from, off, emit);
                    i = run.end;
                    off = run.offset;
                    last_off = run.last_offset;
                    row = run.row;
                }
                if (i != from) {
                    const TableRun run{i, off, last_off, row};
                    if (!settle(TableEnd<Rules>(text_, from, i, last_off), from, run)) break;
                    continue;
                }
            }
            if constexpr (Units::FIXED) {
                // Emoji sequences, from a pictograph beyond the BMP after a
                // space, or after one of the table's bases (or its marks)
                // that is its own class.
                if (next >= 0x10000) {
                    using E = EmojiColumns;
                    const unsigned column = emoji_entry(next) & E::COLUMN_MASK;
                    // Looked up only where the rest holds.
                    const auto own_class = [&] {
                        return E::class_of[emoji_entry(base_cp) & E::COLUMN_MASK] == eff;
                    };
                    if (column >= E::ID && column <= E::EM &&
                        (cls == C::SP || ((cls == eff || cls == C::CM) && own_class()))) {
                        const unsigned row = rules.ascii_row_after(eff, before_eff, base_first);
                        if (row < Rules::ASCII_STATES * Rules::ASCII_COLUMNS) {
                            const std::size_t from = pos_;
                            const TableRun run = emoji_steps<Rules>(row, from, off_, emit);
                            if (run.end != from) {
                                const TableEnd<Rules, true> end(text_, from, run.end, run.last_offset);
                                if (!settle(end, from, run)) break;
                                continue;
                            }
                        }
                    }
                }
            }
            if (next == ' ') {
                // LB7: × SP, and the look-backs pass over it (U+0020 is the one SP;
                // no branch below takes it).
                rules.lane_space();
                base(pos_, off_, next, C::SP);
                ++pos_;
                ++off_;
                continue;
            }
            if (in(eff, ALPHA) && is_ascii_letter(next)) {
                // LB28: a run of ASCII letters after a letter, passed whole. Then,
                // while one space and another letter follow (most text in Latin
                // script), the space (LB7) and the letter after it (LB18, which
                // after a letter only a ZW before the space would stop) are
                // taken with nothing but their offsets: every unit passed is
                // ASCII, so a unit's offset is its index plus a constant, and
                // the state is set once, from the last two units passed.
                const std::size_t n = text_.size();
                const std::size_t from = pos_, shift = off_ - pos_;
                const bool spaces_allowed = rules.allows_letter_after_space();
                std::size_t end = ascii_letter_run_end(pos_ + 1);
                while (end + 1 < n && text_.unit(end) == ' ' && is_ascii_letter(text_.unit(end + 1)) &&
                       spaces_allowed) {
                    emit(shift + end + 1, A::Allowed);
                    end = ascii_letter_run_end(end + 2);
                }
                if (end - 1 > from) {
                    const char32_t u = text_.unit(end - 2);
                    base(end - 2, shift + end - 2, u, u == ' ' ? C::SP : C::AL);
                }
                base(end - 1, shift + end - 1, text_.unit(end - 1), C::AL);
                off_ = shift + end;
                pos_ = end;
                rules.after_letters();
                continue;
            }
            if (in(eff, BREAKING) && is_breaking(next)) {
                // A run of ID, H2 and H3 after one of them: Allowed before each.
                if constexpr (Units::FIXED) {
                    // One unit a code point: the run is passed with its index
                    // and offset in registers, and its breaks written straight
                    // to the batch, with the NS and CL within it (see HELD).
                    // So are the runs after it while a single space and a code
                    // point of ID, H2 or H3 follow (the words of Korean): with
                    // no ZW before, the space is held (LB7) and the break
                    // after it allowed (LB18), as they are after any run (see
                    // spaced_runs_break). The last two code points are read
                    // after, and the lane's state set from them.
                    const auto* d = text_.data;
                    const std::size_t n = text_.size();
                    const bool spaced = rules.decides_after_space();
                    std::size_t k = pos_, o = off_;
                    TableOut<Emit> out(emit);
                    for (;;) {
                        do {
                            out.put(o, A::Allowed);
                            o += 3;  // every one of them three bytes in UTF-8
                            ++k;
                        } while (k < n && is_breaking(d[k]));
                        if (k < n && d[k] != ' ' && is_held(d[k])) {
                            do {
                                o += text::utf8_length(d[k]);
                                ++k;
                            } while (k < n && is_held(d[k]));
                            if (k < n && is_breaking(d[k])) continue;
                        }
                        if (k + 1 >= n || d[k] != ' ' || !is_breaking(d[k + 1]) || !spaced) break;
                        ++k;
                        ++o;
                    }
                    const std::size_t at = k - 1;
                    const char32_t last = d[at];
                    const std::size_t at_offset = o - text::utf8_length(last);
                    if (at != pos_) {
                        const char32_t before_last = d[at - 1];
                        if (before_last == ' ') {
                            rules.lane_space();
                            base(at - 1, at_offset - 1, ' ', C::SP);
                        } else {
                            const C before_cls = data::line_break_class(before_last);
                            base(at - 1, at_offset - text::utf8_length(before_last), before_last, before_cls);
                            rules.lane_breaking(before_cls);
                        }
                    }
                    const C last_cls = data::line_break_class(last);
                    base(at, at_offset, last, last_cls);
                    rules.lane_breaking(last_cls);
                    out.done();
                    pos_ = k;
                    off_ = o;
                    continue;
                }
                std::size_t at = pos_, at_offset = off_, before = pos_, before_offset = off_;
                char32_t last = next, before_last = 0;
                do {
                    before = at;
                    before_offset = at_offset;
                    before_last = last;
                    last = text_.decode(pos_, len);
                    at = pos_;
                    at_offset = off_;
                    emit(off_, A::Allowed);
                    pos_ += len;
                    off_ += Units::utf8_bytes(last, len);
                } while (pos_ < text_.size() && is_breaking(text_.decode(pos_, len)));
                if (at != before) {
                    const C before_cls = data::line_break_class(before_last);
                    base(before, before_offset, before_last, before_cls);
                    rules.lane_breaking(before_cls);
                }
                const C last_cls = data::line_break_class(last);
                base(at, at_offset, last, last_cls);
                rules.lane_breaking(last_cls);
                continue;
            }
            const C next_cls = data::line_break_class(next);
            if (eff == C::AL && (next_cls == C::AL || next_cls == C::CM) && next < 0x10000 &&
                next != DOTTED_CIRCLE) {
                bool leave = false;
                for (;;) {
                    // LB28 and LB9: a stretch of letters and marks after a letter,
                    // passed whole; then the last one's base is found walking back.
                    const std::size_t start = pos_;
                    const std::size_t at = pass_stretch();
                    if (pos_ + 2 < text_.size() && text_.unit(pos_) == ' ' &&
                        rules.allows_letter_after_space()) {
                        // Another word of two code points or more follows (as
                        // below): this one's last code point and its base are
                        // never read, so the walk back to them, whose length
                        // varies from word to word, is left out. The space
                        // and the letter after it are what the next word's
                        // walk may come back to.
                        std::size_t letter_len;
                        const char32_t letter = text_.decode(pos_ + 1, letter_len);
                        const std::size_t rest = pos_ + 1 + letter_len;
                        if (letter >= 0x80 && in_stretch(letter) && !is_stretch_mark(letter) &&
                            rest < text_.size() && in_stretch(cp_at(rest))) {
                            emit(off_ + 1, A::Allowed);  // LB18
                            base(pos_, off_, ' ', C::SP);
                            base(pos_ + 1, off_ + 1, letter, C::AL);
                            off_ += 1 + Units::utf8_bytes(letter, letter_len);
                            pos_ = rest;
                            continue;
                        }
                    }
                    const char32_t last = cp_at(at);
                    const std::size_t at_offset = off_ - Units::utf8_bytes(last, pos_ - at);
                    std::size_t b = at;
                    while (b != start && is_stretch_mark(cp_at(b))) b = text_.previous(b);
                    if (!is_stretch_mark(cp_at(b))) {
                        // The base b lies in the stretch; what precedes it is the
                        // lane's last code point or one of the stretch.
                        if (b != start) {
                            const std::size_t a = text_.previous(b);
                            std::size_t a_base = a;
                            while (a_base != start && is_stretch_mark(cp_at(a_base)))
                                a_base = text_.previous(a_base);
                            cp = cp_at(a);
                            eff = C::AL;
                            if (!is_stretch_mark(cp_at(a_base))) base_cp = cp_at(a_base);
                        }
                        base(b, 0, cp_at(b), C::AL);
                    }
                    index = at;
                    offset = at_offset;
                    cp = last;
                    cls = is_stretch_mark(last) ? C::CM : C::AL;
                    rules.after_letters();
                    // Words of such letters between single spaces, the shape of
                    // most text in these scripts: the space (LB7) and the letter
                    // after it (LB18) are taken with no class looked up, and the
                    // next stretch is passed in the same way. A word in ASCII is
                    // left to the step for ASCII letters, which is quicker.
                    if (pos_ + 1 >= text_.size() || text_.unit(pos_) != ' ') break;
                    std::size_t letter_len;
                    const char32_t letter = text_.decode(pos_ + 1, letter_len);
                    if (letter < 0x80 || !in_stretch(letter) || is_stretch_mark(letter)) break;
                    if (!space_then_letter(letter, letter_len)) {
                        leave = true;
                        break;
                    }
                    if (pos_ >= text_.size() || !in_stretch(cp_at(pos_))) break;
                }
                if (leave) break;
                continue;
            }
            if (in(eff, ALPHA) && in(next_cls, ALPHA) && next < 0x10000 && next != DOTTED_CIRCLE) {
                // LB28: a run of letters after a letter, passed whole.
                std::size_t at = pos_, at_offset = off_, before = pos_, before_offset = off_;
                char32_t last = next, before_last = 0;
                do {
                    before = at;
                    before_offset = at_offset;
                    before_last = last;
                    last = text_.decode(pos_, len);
                    at = pos_;
                    at_offset = off_;
                    pos_ += len;
                    off_ += Units::utf8_bytes(last, len);
                } while (pos_ < text_.size() && is_alpha_letter(text_.decode(pos_, len)));
                if (at != before) base(before, before_offset, before_last, data::line_break_class(before_last));
                base(at, at_offset, last, data::line_break_class(last));
                rules.after_letters(cls);
                continue;
            }
            if (next_cls == C::SP) {
                rules.lane_space();  // LB7: × SP
                base(pos_, off_, next, next_cls);
            } else if (next_cls == C::QU && !east_asian(next)) {
                // A quotation mark: after a space see after_space; after a base
                // LB19 holds it, unless it is initial and LB19a finds East Asian
                // text before it (the rules then read the text after it).
                const bool initial = data::is_initial_quote(next);
                BreakAction action = A::Prohibited;
                if (cls == C::SP) {
                    if (!rules.decides_after_space()) break;
                    const C after = data::is_final_quote(next) ? class_after(pos_ + len) : C::XX;
                    action = rules.after_space(C::QU, after);
                } else if (initial && east_asian(base_cp)) {
                    break;
                }
                emit(off_, action);
                // LB15a: an initial quote after a space, a line end, an opening or
                // the like holds what follows it and its spaces.
                rules.lane_quote(initial && in(eff, set_of(C::BK, C::CR, C::GL, C::LF, C::NL, C::SP,
                                                           C::ZW, C::OP, C::QU)));
                base(pos_, off_, next, C::QU);
            } else if (next_cls == C::OP) {
                // After a quote, East Asian text is read by LB19a: the rules decide.
                if (eff == C::QU && east_asian(next)) break;
                if (cls == C::SP) {
                    if (!rules.decides_after_space()) break;
                    emit(off_, rules.after_space(next_cls, C::XX));
                    rules.lane_next(next_cls);
                } else {
                    // (PR | PO) × OP SP* NU looks ahead, and a hyphen reads the
                    // class before it (LB20a, LB21a): the rules take those.
                    if (in(eff, PREFIX_POSTFIX | HYPHENS)) break;
                    emit(off_, rules.lane_before_open(eff, east_asian(next)));
                }
                base(pos_, off_, next, next_cls);
            } else if (in(next_cls, LANE) && next != DOTTED_CIRCLE) {
                if (eff == C::QU && east_asian(next)) break;
                if (cls == C::SP) {
                    if (!rules.decides_after_space()) break;
                    emit(off_, rules.after_space(next_cls, next_cls == C::IS ? class_after(pos_ + len) : C::XX));
                    rules.lane_next(next_cls);
                } else {
                    // (PR | PO) × HY NU: the rules look ahead.
                    if (next_cls == C::HY && in(eff, PREFIX_POSTFIX)) break;
                    // LB30: an East Asian CP does not hold to AL, HL or NU.
                    if (eff == C::CP && in(next_cls, set_of(C::AL, C::HL, C::NU)) && east_asian(base_cp))
                        break;
                    emit(off_, in(eff, HYPHENS)
                                   ? rules.lane_after_hyphen(eff, next_cls, base_first, before_eff)
                                   : rules.lane_pair(eff, next_cls));
                }
                base(pos_, off_, next, next_cls);
            } else if (next_cls == C::CM && cls != C::SP && eff != C::QU) {
                // LB9: X CM* × ... as X; the mark takes its base's class.
                rules.lane_mark(eff);
                index = pos_;
                offset = off_;
                cp = next;
                cls = C::CM;
            } else if (next_cls == C::EM && eff == C::EB) {
                // LB30b: EB × EM, an emoji and its skin tone.
                emit(off_, rules.lane_modifier());
                base(pos_, off_, next, next_cls);
            } else if (next_cls == C::RI) {
                // A regional indicator (the halves of flags): LB30a after
                // another, with the parity of those before carried; after a
                // base of the lane PAIRS decides, as before any base of it.
                if (cls == C::SP) {
                    if (!rules.decides_after_space()) break;
                    emit(off_, rules.after_space(next_cls, C::XX));
                    rules.lane_next(next_cls);
                } else if (eff == C::RI) {
                    emit(off_, rules.lane_indicator_pair());
                } else {
                    if ((eff == C::QU && east_asian(next)) || !in(eff, QUICK_PREV | LANE_ONLY_PREV | set_of(C::QU)))
                        break;
                    emit(off_, in(eff, HYPHENS) ? rules.lane_after_hyphen(eff, next_cls, base_first, before_eff)
                                                : rules.lane_pair(eff, next_cls));
                }
                base(pos_, off_, next, next_cls);
            } else if (next_cls == C::ZWJ && cls != C::SP && eff != C::QU && pos_ + len < text_.size()) {
                // LB9: X ZWJ × as X, then LB8a: ZWJ × before a base of the lane
                // (the joined pictographs of emoji sequences); any other code
                // point after the ZWJ is left to the rules.
                std::size_t after_len;
                const char32_t after = text_.decode(pos_ + len, after_len);
                const C after_cls = data::line_break_class(after);
                if (!in(after_cls, LANE) || after == DOTTED_CIRCLE) break;
                rules.lane_mark(eff);
                index = pos_;
                offset = off_;
                cp = next;
                cls = C::ZWJ;
                pos_ += len;
                off_ += Units::utf8_bytes(next, len);
                emit(off_, rules.lane_after_zwj(after_cls));
                base(pos_, off_, after, after_cls);
                pos_ += after_len;
                off_ += Units::utf8_bytes(after, after_len);
                continue;
            } else if (next_cls == C::ZW) {
                // LB7: × ZW, and × the spaces and ZWs right after it; then LB8:
                // ZW SP* ÷ before a base of the lane (Khmer separates its words
                // so, a space after the ZW at times). A few are looked at, so
                // that a failed look costs O(1); anything else after them is
                // left to the rules.
                std::size_t at = pos_ + len, after_len = 0;
                char32_t after = 0;
                bool found = false;
                for (unsigned k = 0; k < 4 && at < text_.size(); ++k) {
                    after = text_.decode(at, after_len);
                    if (after != ' ' && after != 0x200B) {
                        found = true;
                        break;
                    }
                    at += after_len;
                }
                if (!found) break;
                const C after_cls = data::line_break_class(after);
                if (!in(after_cls, LANE) || after == DOTTED_CIRCLE) break;
                rules.lane_zw();
                base(pos_, off_, next, C::ZW);
                pos_ += len;
                off_ += Units::utf8_bytes(next, len);
                while (pos_ < at) {
                    std::size_t gap_len;
                    const char32_t gap = text_.decode(pos_, gap_len);
                    if (gap == ' ') {
                        rules.lane_space();
                        base(pos_, off_, gap, C::SP);
                    } else {
                        rules.lane_zw();
                        base(pos_, off_, gap, C::ZW);
                    }
                    pos_ += gap_len;
                    off_ += Units::utf8_bytes(gap, gap_len);
                }
                emit(off_, rules.lane_after_zw(after_cls));
                base(pos_, off_, after, after_cls);
                pos_ += after_len;
                off_ += Units::utf8_bytes(after, after_len);
                continue;
            } else {
                break;
            }
            pos_ += len;
            off_ += Units::utf8_bytes(next, len);
        }
        p.offset = offset;
        p.index = index;
        p.cp = cp;
        p.cls = cls;
        p.eff = p.base_cls = eff;
        p.base_cp = base_cp;
        p.has_base = true;
        p.base_first = base_first;
        p.before_eff = before_eff;
        p.before_cp = before_cp;
        p.before_base_cp = before_base_cp;
        set_quick_flags(p);
        if (done()) return false;
        next(c, p);
        return true;
    }

    // The class of the first code point at or after unit index i whose raw
    // class is not in skip (XX at the end of the text).
    C first_class_skipping(std::size_t i, ClassSet skip) const {
        while (i < text_.size()) {
            std::size_t len;
            const C cls = data::line_break_class(text_.decode(i, len));
            if (!in(cls, skip)) return cls;
            i += len;
        }
        return C::XX;
    }

private:
    Units text_;
    std::size_t pos_ = 0;
    std::size_t off_ = 0;

    // The end of the run of ASCII letters from i, sixteen bytes of units at a
    // time, every unit of a word tested at once: with 0x20 set, the letters
    // are the one range 0x61..0x7A, checked by two additions that set the
    // high bit of each lane (a lane's own high bit is kept apart, so that no
    // carry crosses into the next lane).
    std::size_t ascii_letter_run_end(std::size_t i) const {
        using Unit = std::remove_cv_t<std::remove_pointer_t<decltype(text_.data)>>;
        if constexpr (std::endian::native != std::endian::little) {
            return run_end(i, is_ascii_letter);
        } else {
            constexpr unsigned BITS = 8 * sizeof(Unit);
            constexpr std::size_t LANES = 8 / sizeof(Unit);
            constexpr std::uint64_t ONES = ~std::uint64_t(0) / ((std::uint64_t(1) << BITS) - 1);
            constexpr std::uint64_t HIGH = ONES << (BITS - 1);
            constexpr std::uint64_t HALF = std::uint64_t(1) << (BITS - 1);
            const auto* d = text_.data;
            const std::size_t n = text_.size();
            // The high bit of each lane of the eight bytes at unit index at
            // that is not a letter.
            auto non_letters = [d](std::size_t at) {
                std::uint64_t w;
                std::memcpy(&w, d + at, 8);
                const std::uint64_t x = w | (ONES * 0x20);
                const std::uint64_t y = x & ~HIGH;
                const std::uint64_t from_a = y + ONES * (HALF - 0x61);
                const std::uint64_t past_z = y + ONES * (HALF - 0x7B);
                return (~from_a | past_z | x) & HIGH;
            };
            for (; i + 2 * LANES <= n; i += 2 * LANES) {
                const std::uint64_t a = non_letters(i), b = non_letters(i + LANES);
                if ((a | b) != 0) {
                    // Which half holds the end is a coin toss: chosen without a
                    // branch (countr_zero of 0 is 64).
                    const unsigned bit = unsigned(std::countr_zero(a)) +
                                         unsigned(a == 0) * unsigned(std::countr_zero(b));
                    return i + bit / BITS;
                }
            }
            while (i < n && is_ascii_letter(d[i])) ++i;
            return i;
        }
    }

    // The end of the run of units from i that pred accepts, looked at eight
    // at a time: the end of a word costs one branch, not one per letter.
    template <typename Pred>
    std::size_t run_end(std::size_t i, Pred pred) const {
        const auto* d = text_.data;
        const std::size_t n = text_.size();
        for (; i + 8 <= n; i += 8) {
            unsigned mask = 0;
            for (unsigned k = 0; k < 8; ++k) mask |= unsigned(pred(d[i + k])) << k;
            if (mask != 0xFF) return i + std::size_t(std::countr_one(mask));
        }
        while (i < n && pred(d[i])) ++i;
        return i;
    }

    // Where the rules' table stopped at unit end, having begun at from (a
    // base, or a mark on the lane's last base): the last base at or before
    // end - 1 and the base of the code point before it, marks walked back
    // over, never before from. Out of line: it runs once per pass of the
    // table.
    template <typename Rules, bool EMOJI = false>
    struct TableEnd {
        bool based = false;  // a base lies in [from, end)
        std::size_t base = 0, base_offset = 0;
        C base_class = C::XX;
        bool before_based = false;  // the code point before it has its base in [from, base)
        C before_base_class = C::XX;
        char32_t before_base_cp = 0;

        [[gnu::noinline]] TableEnd(Units text, std::size_t from, std::size_t end, std::size_t last_off) {
            const auto& table = Rules::ASCII;
            using E = EmojiColumns;
            // After the emoji table, the marks are CM and U+200D (LB9).
            const auto is_mark = [&](std::size_t k) {
                if constexpr (EMOJI) {
                    const unsigned column = emoji_entry(text.unit(k)) & E::COLUMN_MASK;
                    return column == E::CM || column == E::ZWJ;
                } else {
                    return Rules::AsciiTable::column_of(text.unit(k)) == table.mark_column;
                }
            };
            const auto class_at = [&](std::size_t k) {
                if constexpr (EMOJI)
                    return E::class_of[emoji_entry(text.unit(k)) & E::COLUMN_MASK];
                else
                    return table.class_of[Rules::AsciiTable::column_of(text.unit(k))];
            };
            std::size_t b = end - 1, b_off = last_off;
            while (b > from && is_mark(b)) {
                --b;
                b_off -= text::utf8_length(text.unit(b));
            }
            based = !is_mark(b);
            base = b;
            base_offset = b_off;
            if (!based) return;
            base_class = class_at(b);
            if (b == from) return;
            std::size_t a0 = b - 1;
            while (a0 > from && is_mark(a0)) --a0;
            before_based = !is_mark(a0);
            if (before_based) {
                before_base_class = class_at(a0);
                before_base_cp = text.unit(a0);
            }
        }
    };

    // The end of the run of units from i whose LETTER_COLUMNS entries are
    // none that outside marks, eight at a time: outside takes eight entries,
    // one a byte, and sets a bit in each byte outside the run. off, the UTF-8
    // offset of unit i, is moved to that of the end.
    //
    // The run goes on over a single space (column space) or ZW (column zw)
    // with a letter of column start right after it among the eight: the
    // space or ZW takes no break (LB7), the letter an allowed one (LB18,
    // LB8), and the state after the letter is the one before the gap
    // (words_return_to_their_row below), so that the words of a sentence,
    // and those of scripts written with a ZW between them, take no step each.
    // Those breaks are written to slots, room of them at most: the run ends
    // early, after a letter, where the next eight might not fit. Returns the
    // end and how many breaks it wrote.
    template <typename Outside>
    std::pair<std::size_t, std::size_t> columns_end(std::size_t i, std::size_t& offset, Outside outside,
                                                    unsigned space, unsigned zw, unsigned start,
                                                    Opportunity* slots, std::size_t room) const {
        using Columns = LetterColumns;
        constexpr std::uint64_t ONES = 0x0101010101010101, HIGH = ONES * 0x80;
        const auto* d = text_.data;
        const std::size_t n = text_.size();
        const auto info = [d](std::size_t k) -> std::uint64_t { return letter_entry(d[k]); };
        std::size_t put = 0;
        // The offset in a register: the slots' stores might otherwise alias it,
        // and each eight units would wait on its store and load.
        std::size_t off = offset;
        for (; i + 8 <= n; i += 8) {
            std::uint64_t w = 0;
            for (unsigned k = 0; k < 8; ++k) w |= info(i + k) << (8 * k);
            // Each byte's UTF-8 length less one.
            const std::uint64_t lengths = (w >> Columns::LENGTH_SHIFT) & (ONES * 3);
            if (const std::uint64_t out = outside(w); out != 0) {
                // The units outside the run one by one: a space or a ZW
                // with a letter of column start after it joins the run,
                // anything else ends it. Where the first is neither, the run
                // ends as it did before gaps could join it.
                unsigned k = unsigned(std::countr_zero(out)) / 8;
                const unsigned first = (w >> (8 * k)) & Columns::COLUMN_MASK;
                if (first == space || first == zw) {
                    // Eight units have four gaps with a letter after each at
                    // most: where they might not fit, the run ends before
                    // them, after a letter.
                    if (room - put < 4) {
                        offset = off;
                        return {i, put};
                    }
                    // The high bit of each byte of out that is not zero, with
                    // no carry from one byte into the next.
                    for (std::uint64_t rest = (((out & (ONES * 0x7F)) + ONES * 0x7F) | out) & HIGH;;) {
                        k = unsigned(std::countr_zero(rest)) / 8;
                        const std::uint64_t here = w >> (8 * k);
                        // The three conditions take one branch, not three.
                        const unsigned gap = here & Columns::COLUMN_MASK;
                        const bool joins = (k != 7) & ((gap == space) | (gap == zw)) &
                                           (((here >> 8) & Columns::COLUMN_MASK) == start);
                        if (!joins) break;
                        // The letter's offset adds its index and the lengths
                        // less one of the units up to the gap.
                        const std::uint64_t through = (std::uint64_t(1) << (8 * k + 8)) - 1;
                        slots[put++] = {off + k + 1 + (((lengths & through) * ONES) >> 56), A::Allowed};
                        rest &= rest - 1;
                        if (rest == 0) {
                            k = 8;
                            break;
                        }
                    }
                }
                if (k < 8) {
                    const std::uint64_t mask = (std::uint64_t(1) << (8 * k)) - 1;
                    offset = off + k + (((lengths & mask) * ONES) >> 56);
                    return {i + k, put};
                }
            }
            off += 8 + ((lengths * ONES) >> 56);
        }
        for (; i < n; ++i) {
            const std::uint64_t at = info(i);
            if (outside(at)) break;
            off += 1 + (at >> Columns::LENGTH_SHIFT);
        }
        offset = off;
        return {i, put};
    }

    // Letters (AL) and marks of the table, and the words of letters after them.
    [[gnu::noinline]] std::pair<std::size_t, std::size_t> stretch_end(std::size_t i, std::size_t& off,
                                                                      unsigned space, unsigned zw,
                                                                      unsigned letter,
                                                                      Opportunity* slots,
                                                                      std::size_t room) const {
        constexpr std::uint64_t ONES = 0x0101010101010101;
        std::size_t put = 0;
#if SCRIVLET_STRETCH_AVX2
        // UCS-2 only: a fixed width of two bytes makes sixteen units a vector.
        if constexpr (std::is_same_v<Units, FixedUnits<char16_t>>)
            if (use_avx2.load(std::memory_order_relaxed) && letter == STRETCH_BLOCKS.letter_column &&
                STRETCH_BLOCKS.of[text_.data[i] >> 7].chunks) {
                bool ended = false;
                put = stretch_chunks_avx2(text_.data, text_.size(), i, off, slots, room, ended);
                if (ended) return {i, put};
            }
#endif
        const auto [end, more] = columns_end(
            i, off, [](std::uint64_t w) { return ~w & (ONES * LetterColumns::STRETCH_BIT); }, space, zw,
            letter, slots + put, room - put);
        return {end, put + more};
    }

    // Hebrew letters (HL) and marks, and the words of Hebrew letters after
    // them: the columns hl and mark, compared a byte at a time (a column is
    // below 0x20, so adding 0x7F to its difference from another sets the
    // byte's high bit, with no carry, unless they are equal).
    [[gnu::noinline]] std::pair<std::size_t, std::size_t> hebrew_end(std::size_t i, std::size_t& off,
                                                                     unsigned space, unsigned zw, unsigned hl,
                                                                     unsigned mark,
                                                                     Opportunity* slots,
                                                                     std::size_t room) const {
        constexpr std::uint64_t ONES = 0x0101010101010101;
        return columns_end(
            i, off,
            [hl, mark](std::uint64_t w) {
                const std::uint64_t x = w & (ONES * LetterColumns::COLUMN_MASK);
                const std::uint64_t not_hl = ((x ^ (ONES * hl)) + ONES * 0x7F) & (ONES * 0x80);
                const std::uint64_t not_mark = ((x ^ (ONES * mark)) + ONES * 0x7F) & (ONES * 0x80);
                return not_hl & not_mark;
            },
            space, zw, hl, slots, room);
    }

    // Moves past the letters and marks (in_stretch) from pos_, the first of
    // which is one; returns the unit index of the last.
    std::size_t pass_stretch() {
        if constexpr (Units::FIXED) {
            // One unit per code point, all in the BMP: the run is found eight
            // units at a time, and the UTF-8 length of the units in it summed
            // without a branch, so that its end costs one mispredicted branch.
            const auto* d = text_.data;
            const std::size_t n = text_.size();
            auto bytes = [](char32_t u) -> std::size_t { return 1 + (u >= 0x80) + (u >= 0x800); };
            std::size_t i = pos_, off = off_;
            for (;;) {
                if (i + 8 > n) {
                    while (i < n && in_stretch(d[i])) off += bytes(d[i++]);
                    break;
                }
                // One bit per unit: in the stretch, two bytes or more, three.
                unsigned mask = 0, two = 0, three = 0;
                for (unsigned k = 0; k < 8; ++k) mask |= unsigned(in_stretch(d[i + k])) << k;
#if defined(__SSE2__)
                if constexpr (sizeof(*d) == 2) {
                    // The lengths of eight UCS-2 units at once: a unit below 0x80
                    // (0x800) has no bit of 0xFF80 (0xF800).
                    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + i));
                    const __m128i zero = _mm_setzero_si128();
                    const __m128i one_byte =
                        _mm_cmpeq_epi16(_mm_and_si128(v, _mm_set1_epi16(short(0xFF80))), zero);
                    const __m128i two_bytes =
                        _mm_cmpeq_epi16(_mm_and_si128(v, _mm_set1_epi16(short(0xF800))), zero);
                    const unsigned shorter =
                        unsigned(_mm_movemask_epi8(_mm_packs_epi16(one_byte, two_bytes)));
                    two = ~shorter & 0xFF;
                    three = (~shorter >> 8) & 0xFF;
                } else
#endif
                {
                    for (unsigned k = 0; k < 8; ++k) {
                        two |= unsigned(d[i + k] >= 0x80) << k;
                        three |= unsigned(d[i + k] >= 0x800) << k;
                    }
                }
                const unsigned run = unsigned(std::countr_one(mask));
                const unsigned kept = (1u << run) - 1;
                off += run + BIT_COUNT[two & kept] + BIT_COUNT[three & kept];
                i += run;
                if (run != 8) break;
            }
            off_ = off;
            pos_ = i;
            return i - 1;
        } else {
            std::size_t at = pos_, len;
            do {
                (void)text_.decode(pos_, len);
                at = pos_;
                pos_ += len;
                off_ += len;
            } while (pos_ < text_.size() && in_stretch(text_.decode(pos_, len)));
            return at;
        }
    }

    char32_t cp_at(std::size_t i) const {
        std::size_t len;
        return text_.decode(i, len);
    }

    // The class of the code point at unit i, BK at the end of the text (which
    // LB15b and LB15c read as they read the end).
    C class_after(std::size_t i) const {
        return i < text_.size() ? data::line_break_class(cp_at(i)) : C::BK;
    }

    // The code point at index k of a stretch that followed c0 (see
    // skip_stretch), its base found by walking back over the marks.
    void fill(Char& x, std::size_t k, std::size_t offset, const Char& c0) const {
        x.offset = offset;
        x.index = k;
        x.cp = cp_at(k);
        x.cls = is_stretch_mark(x.cp) ? C::CM : C::AL;
        x.eff = C::AL;
        std::size_t b = k;
        while (b != c0.index && is_stretch_mark(cp_at(b))) b = text_.previous(b);
        if (b == c0.index) {
            // Marks after c0: its base is theirs.
            x.take_base_of(c0);
        } else {
            x.base_cls = C::AL;
            x.base_cp = cp_at(b);
            x.has_base = true;
            x.base_first = false;
            x.before_eff = C::AL;  // c0 or a code point of the stretch
            std::size_t a = text_.previous(b);
            x.before_cp = cp_at(a);
            while (a != c0.index && is_stretch_mark(cp_at(a))) a = text_.previous(a);
            x.before_base_cp = a == c0.index ? c0.base_cp : cp_at(a);
        }
        set_quick_flags(x);
    }

    // An ASCII letter after another letter (before_cp).
    static void letter(Char& c, std::size_t index, std::size_t offset, char32_t cp,
                       char32_t before_cp) {
        c.offset = offset;
        c.index = index;
        c.cp = c.base_cp = cp;
        c.cls = c.eff = c.base_cls = C::AL;
        c.has_base = true;
        c.base_first = false;
        c.before_eff = C::AL;
        c.before_cp = c.before_base_cp = before_cp;
        c.quick_prev = c.quick_cur = true;
    }
};

// The pair decisions of LB4..LB31, left to right. The rules that look back
// (LB14, LB15a, LB16, LB17 over spaces, LB25 over SY/IS, LB30a over regional
// indicators) read facts carried forward from the previous pairs, so each pair
// costs O(1) apart from the look-aheads of LB25 (over spaces after PR OP) and
// LB28a (over marks after an aksara), whose scans cover disjoint runs.
class PairRules {
public:
    PairRules(LookAhead ahead, const Char& first) : ahead_(ahead) { carry_forward(first); }

    // Decision between p and c; nx is the code point after c (nullptr at the end).
    BreakAction decide(const Char& p, const Char& c, const Char* nx) {
        BreakAction action;
        if (quick_pair(p, c))
            action = PAIRS.at(numeric_tail_prev_, numeric_tail_prev2_, p.eff, c.eff);
        else if (quick_after_space(p, c))
            action = A::Allowed;  // LB18
        else
            action = rules(p, c, nx);
        carry_forward(c);
        return action;
    }

private:
    // After a space, LB18 allows the break unless LB11, LB13, LB15b..LB15d or the
    // look-backs of LB14..LB17 over the spaces say otherwise.
    bool quick_after_space(const Char& p, const Char& c) const {
        return p.cls == C::SP && !in(c.cls, RAW_SLOW_CUR) && space_breaks_before(c.eff);
    }

    // Whether LB18 decides the pair of a space and a base of class cur (not a
    // quote: LB15b and LB19a read it), what precedes the spaces having
    // failed LB14, LB15a, LB16 and LB17. After a ZW (LB8) the rules decide.
    constexpr bool space_breaks_before(C cur) const {
        return !zw_run_ && !in(cur, set_of(C::WJ, C::CL, C::CP, C::EX, C::SY, C::IS, C::QU)) &&
               non_space_ != C::OP && !non_space_opens_ &&
               !(cur == C::B2 && non_space_ == C::B2) && !(cur == C::NS && in(non_space_, CLOSE));
    }

    // A ZW run ends at a code point in RAW_SLOW_PREV, so a quick prev has none.
    static bool quick_pair(const Char& p, const Char& c) { return p.quick_prev && c.quick_cur; }

    static constexpr unsigned CLASS_COUNT = unsigned(C::XX) + 1;

    struct PairTable {
        BreakAction actions[2][2][CLASS_COUNT][CLASS_COUNT];
        constexpr BreakAction at(bool tail, bool tail2, C ep, C ec) const {
            return actions[tail][tail2][unsigned(ep)][unsigned(ec)];
        }
    };

    // The state the rules see for a quick pair: prev is the code point before
    // the spaces (there are none), no ZW run.
    constexpr PairRules(C prev, bool tail, bool tail2)
        : non_space_(prev), numeric_tail_prev_(tail), numeric_tail_prev2_(tail2) {}

    static constexpr PairTable build_pairs() {
        PairTable table{};
        for (unsigned tail = 0; tail < 2; ++tail)
            for (unsigned tail2 = 0; tail2 < 2; ++tail2)
                for (unsigned ep = 0; ep < CLASS_COUNT; ++ep)
                    for (unsigned ec = 0; ec < CLASS_COUNT; ++ec) {
                        BreakAction& action = table.actions[tail][tail2][ep][ec];
                        action = A::Prohibited;
                        // OP as cur for lane_before_open, as if it were not East Asian;
                        // QU as prev for the lane's quotes (see quotes_hold); RI
                        // on either side for the lane's regional indicators, but
                        // for RI RI, which reads their count (lane_indicator_pair).
                        if (!in(C(ep), QUICK_PREV | LANE_ONLY_PREV | set_of(C::QU, C::RI)) ||
                            !in(C(ec), QUICK_CUR | set_of(C::OP, C::RI)) || (C(ep) == C::RI && C(ec) == C::RI))
                            continue;
                        // (PR | PO) × HY NU and (PR | PO) × OP SP* NU read the text ahead.
                        if (in(C(ep), PREFIX_POSTFIX) && in(C(ec), set_of(C::HY, C::OP))) continue;
                        Char p, c;
                        p.cls = p.eff = p.base_cls = C(ep);
                        if (C(ep) == C::QU) p.cp = p.base_cp = U'"';
                        c.cls = c.eff = c.base_cls = C(ec);
                        p.has_base = c.has_base = true;
                        c.base_first = false;
                        // A hyphen whose LB20a and LB21a look-back finds nothing:
                        // lane_after_hyphen checks those.
                        p.base_first = !in(C(ep), HYPHENS);
                        PairRules rules(C(ep), tail, tail2);
                        action = rules.rules(p, c, nullptr);
                    }
        return table;
    }

    static const PairTable PAIRS;

public:
    static constexpr bool breaking_pairs_break() {
        const PairTable table = build_pairs();
        for (bool tail : {false, true})
            for (bool tail2 : {false, true})
                for (C x : {C::ID, C::H2, C::H3})
                    for (C y : {C::ID, C::H2, C::H3})
                        if (table.at(tail, tail2, x, y) != A::Allowed || !in(x, LANE) || !in(y, LANE))
                            return false;
        return true;
    }

    // Within a run, after any of ID, H2, H3, NS and CL: held before NS and CL,
    // allowed before ID, H2 and H3, whatever the look-back.
    static constexpr bool held_in_runs() {
        const PairTable table = build_pairs();
        for (bool tail : {false, true})
            for (bool tail2 : {false, true})
                for (C x : {C::ID, C::H2, C::H3, C::NS, C::CL})
                    for (C y : {C::ID, C::H2, C::H3, C::NS, C::CL})
                        if (table.at(tail, tail2, x, y) != (in(y, BREAKING) ? A::Allowed : A::Prohibited) ||
                            !in(x, LANE) || !in(y, LANE))
                            return false;
        return true;
    }

    // A space after a run (its last of ID, H2, H3, NS or CL), with no ZW
    // before, and ID, H2 or H3 after it: LB7 holds the space, LB18 allows the
    // break after it (none of LB14 to LB17 holds after such a run).
    static constexpr bool spaced_runs_break() {
        for (C x : {C::ID, C::H2, C::H3, C::NS, C::CL})
            for (C y : {C::ID, C::H2, C::H3}) {
                PairRules rules(x, false, false);
                rules.lane_space();
                if (!rules.decides_after_space() || rules.after_space(y, C::XX) != A::Allowed) return false;
            }
        return true;
    }

    // After a quotation mark every base of the lane is held: LB19 for a
    // quote that is not final (the row is computed for U+0022), LB19a for a
    // final one before a code point that is not East Asian, which the lane
    // leaves to the rules.
    static constexpr bool quotes_hold() {
        const PairTable table = build_pairs();
        for (bool tail : {false, true})
            for (bool tail2 : {false, true})
                for (unsigned ec = 0; ec < CLASS_COUNT; ++ec)
                    if (in(C(ec), LANE | set_of(C::OP)) && table.at(tail, tail2, C::QU, C(ec)) != A::Prohibited)
                        return false;
        return true;
    }

    static constexpr bool letters_never_break() {
        const PairTable table = build_pairs();
        for (bool tail : {false, true})
            for (bool tail2 : {false, true})
                for (C x : {C::AL, C::HL})
                    for (C y : {C::AL, C::HL})
                        if (table.at(tail, tail2, x, y) != A::Prohibited) return false;
        return true;
    }

    // ASCII text and letters by table (AL and HL, see LetterColumns; HL is
    // the one column that no ASCII code point has): one step per unit, from
    // a state that holds all that the rules read about what precedes (the
    // class of the last code point, the class before its spaces, the LB25
    // look-back, and for a hyphen the LB20a and LB21a look-back), to the
    // action before the unit and the next state. The steps are the rules' own
    // decisions, computed at compile time; a pair whose decision reads the
    // text ahead (LB15c, LB25 after PR and PO) or whose class the table
    // leaves out asks the lane; but LB15c (SP ÷ IS NU) reads only whether a
    // digit follows, so that its step holds the decision for any other
    // code point after it, and asks (DIGIT_AHEAD) only where the next unit is
    // not printable ASCII other than a digit (see takes_digit_ahead).
    struct AsciiStep {
        std::uint16_t next;  // the next state's row: state * ASCII_COLUMNS
        BreakAction action;
        std::uint8_t ask;  // 0, ASKS or DIGIT_AHEAD
    };
    static constexpr std::uint8_t ASKS = 1, DIGIT_AHEAD = 2;
    static constexpr unsigned ASCII_COLUMNS = 18;
    static constexpr unsigned ASCII_GROUPS = 2 * CLASS_COUNT + 6;
    static constexpr unsigned ASCII_STATES = 4 * ASCII_GROUPS;

    static constexpr unsigned ASCII_EXIT = ASCII_COLUMNS - 1;

    struct AsciiTable {
        std::uint8_t column[128] = {};  // of each ASCII unit; EXIT where the table stops
        char32_t sample[CLASS_COUNT] = {};  // a code point of each column's class
        C class_of[ASCII_COLUMNS] = {};
        std::uint8_t hl_column = 0;  // no ASCII code point is HL: sampled by U+05D0
        std::uint8_t mark_column = 0;  // CM outside ASCII: sampled by U+0300
        std::uint8_t zw_column = 0;    // U+200B, the one ZW
        std::uint16_t letter_row = 0;  // after a letter, with no LB25 look-back
        std::uint16_t hl_row = 0;      // the same after a Hebrew letter
        AsciiStep steps[ASCII_STATES * ASCII_COLUMNS] = {};

        // The column of any code point (see LetterColumns).
        static unsigned column_of(char32_t u) {
            return letter_entry(u) & LetterColumns::COLUMN_MASK;
        }
    };

    // What precedes a hyphen, as LB20a and LB21a read it: an opening, HL or
    // anything else.
    static constexpr unsigned hyphen_variant(C before) {
        return in(before, set_of(C::BK, C::CR, C::GL, C::LF, C::NL, C::SP, C::ZW, C::CB, C::OP,
                                 C::QU))
                   ? 0
                   : before == C::HL ? 1 : 2;
    }

    // The row of the state after a code point of class last (a base, its own
    // class), non_space and the LB25 look-back as the rules hold them.
    static constexpr unsigned ascii_row(C last, C non_space, bool tail, bool tail2, C before,
                                        bool base_first) {
        unsigned group;
        if (last == C::SP)
            group = unsigned(non_space);
        else if (last == C::HY)
            group = 2 * CLASS_COUNT + (base_first ? 0 : hyphen_variant(before)) * 2 + base_first;
        else
            group = CLASS_COUNT + unsigned(last);
        return (4 * group + 2 * tail + tail2) * ASCII_COLUMNS;
    }

    // What a row of the tables stands for: the last code point's class, the
    // nearest one before it that is not a space, LB25's look-back, and for a
    // hyphen the LB20a and LB21a look-back.
    struct RowState {
        C last, non_space, before;
        bool tail, tail2, base_first;
    };

    // Each state of a table's rows whose last class has a sample, with its row.
    template <typename F>
    static constexpr void for_each_state(const char32_t* sample, F&& f) {
        for (unsigned group = 0; group < ASCII_GROUPS; ++group) {
            C last, non_space, before = C::XX;
            bool base_first = false;
            if (group < CLASS_COUNT) {
                last = C::SP;
                non_space = C(group);
            } else if (group < 2 * CLASS_COUNT) {
                last = non_space = C(group - CLASS_COUNT);
                if (last == C::SP || last == C::HY) continue;
            } else {
                last = non_space = C::HY;
                const unsigned variant = (group - 2 * CLASS_COUNT) / 2;
                base_first = (group - 2 * CLASS_COUNT) % 2;
                if (base_first && variant != 0) continue;
                before = variant == 0 ? C::SP : variant == 1 ? C::HL : C::AL;
            }
            if (sample[unsigned(last)] == 0) continue;  // no code point of that class
            for (unsigned tails = 0; tails < 4; ++tails) {
                const RowState state{last, non_space, before, bool(tails & 2), bool(tails & 1), base_first};
                f(ascii_row(last, non_space, state.tail, state.tail2, before, base_first), state);
            }
        }
    }

    // The code point of class cls, stood for by its sample, as it follows p
    // (of class last): a mark takes p's class and all that lies before it
    // (LB9).
    static constexpr Char after_char(const Char& p, C last, C cls, const char32_t* sample) {
        Char x;
        x.cls = x.base_cls = cls;
        x.cp = x.base_cp = sample[unsigned(cls)];
        x.eff = x.cls;
        x.has_base = true;
        x.base_first = false;
        x.before_eff = last;
        x.before_cp = p.cp;
        if (in(cls, MARKS)) {
            x.take_base_of(p);
            x.eff = last;
        }
        return x;
    }

    // The state's own code point, stood for by its sample.
    static constexpr Char row_char(const RowState& s, const char32_t* sample) {
        Char p;
        p.cls = p.eff = p.base_cls = s.last;
        p.cp = p.base_cp = sample[unsigned(s.last)];
        p.has_base = true;
        p.base_first = s.base_first;
        p.before_eff = s.before;
        return p;
    }

    // The rules as they stand in the state s. After a ZW, and the spaces
    // after one, LB8 allows the break: the state whose last non-space is ZW
    // stands for that run.
    static constexpr PairRules row_rules(const RowState& s) {
        PairRules rules(s.non_space, s.tail, s.tail2);
        rules.zw_run_ = s.non_space == C::ZW;
        return rules;
    }

    // Whether rules, having decided a code point of class cur, hold no state
    // that a row cannot stand for; and the row after it.
    constexpr bool row_holds_state() const {
        return zw_run_ == (non_space_ == C::ZW) && !non_space_opens_ && !ri_odd_prev_;
    }
    constexpr unsigned row_after(const RowState& s, C cur) const {
        // After a mark the rules read its base as they read a code point of
        // its class (its raw class, CM, is none that they test), so the
        // state is its base's, LB25's look-back carried one code point
        // further.
        const bool tail = numeric_tail_prev_, tail2 = numeric_tail_prev2_;
        return cur == C::CM ? ascii_row(s.last, non_space_, tail, tail2, s.before, s.base_first)
                            : ascii_row(cur, non_space_, tail, tail2, s.last, false);
    }

    // The step from state s before a code point of class_of[k], in a table
    // of that many columns whose classes are stood for by their samples: the
    // rules' own decision and the row after it. It asks where the text
    // ahead decides, or where the state after it is none that a row holds.
    static constexpr AsciiStep table_step(const C* class_of, unsigned columns, const char32_t* sample,
                                          const RowState& s, unsigned k) {
        constexpr AsciiStep ASK{0, A::Prohibited, ASKS};
        const C cur = class_of[k], last = s.last;
        // LB15c (SP ÷ IS NU) reads whether a digit follows: the step holds
        // the decision before any other code point but a mark (which LB9
        // reads through), one for them all.
        const bool digit_ahead = last == C::SP && cur == C::IS;
        if (in(last, PREFIX_POSTFIX) && in(cur, set_of(C::HY, C::OP)))
            return ASK;  // the text ahead decides
        // A mark after a space or a ZW is AL (LB10), and after a quote LB15a
        // and LB19 read its base: the lane decides those.
        if (cur == C::CM && in(last, NO_ATTACH | set_of(C::QU))) return ASK;
        const Char p = row_char(s, sample);
        const Char c = after_char(p, last, cur, sample);
        PairRules rules = row_rules(s);
        std::optional<BreakAction> action;
        if (!digit_ahead) action = rules.rules(p, c, nullptr);
        // The decision must not read what follows cur.
        for (unsigned j = 0; j < columns; ++j) {
            if (digit_ahead && (in(class_of[j], set_of(C::NU, C::CM) | HARD_BREAKS) || class_of[j] == C::XX))
                continue;
            Char nx = after_char(p, last, class_of[j], sample);
            if (nx.cls == C::CM) nx.eff = c.eff;
            PairRules again = row_rules(s);
            const BreakAction here = again.rules(p, c, &nx);
            if (!action) {
                action = here;
                rules = again;
            } else if (here != *action) {
                return ASK;
            }
        }
        if (!action) return ASK;
        rules.carry_forward(c);
        if (!rules.row_holds_state()) return ASK;
        return {std::uint16_t(rules.row_after(s, cur)), *action, digit_ahead ? DIGIT_AHEAD : std::uint8_t(0)};
    }

    static constexpr AsciiTable build_ascii_table() {
        AsciiTable t{};
        unsigned columns = 0;
        for (char32_t cp = 0; cp < 0x80; ++cp) {
            const C cls = data::line_break_class(cp);
            t.column[cp] = ASCII_EXIT;
            // Line ends and marks stay with the lane and the rules.
            if (in(cls, HARD_BREAKS | MARKS | set_of(C::ZW))) continue;
            unsigned k = 0;
            while (k < columns && t.class_of[k] != cls) ++k;
            if (k == columns) {
                t.class_of[columns++] = cls;
                t.sample[unsigned(cls)] = cp;
            }
            t.column[cp] = std::uint8_t(k);
        }
        for (unsigned k = columns; k < ASCII_COLUMNS; ++k) t.class_of[k] = C::XX;
        // HL, CM and ZW take the last three columns before EXIT at the
        // latest; a throw in a constant evaluation does not compile.
        if (columns + 2 >= ASCII_EXIT) throw "the ASCII table has too many columns";
        t.class_of[columns] = C::HL;
        t.sample[unsigned(C::HL)] = 0x05D0;
        t.hl_column = std::uint8_t(columns++);
        t.class_of[columns] = C::CM;
        t.sample[unsigned(C::CM)] = 0x0300;
        t.mark_column = std::uint8_t(columns++);
        t.class_of[columns] = C::ZW;
        t.sample[unsigned(C::ZW)] = 0x200B;
        t.zw_column = std::uint8_t(columns++);
        for (AsciiStep& s : t.steps) s = {0, A::Prohibited, ASKS};
        t.letter_row = std::uint16_t(ascii_row(C::AL, C::AL, false, false, C::XX, false));
        t.hl_row = std::uint16_t(ascii_row(C::HL, C::HL, false, false, C::XX, false));
        // Every state: a space after any class, an ASCII base, a hyphen after
        // each of its look-backs; then each with every LB25 look-back.
        for_each_state(t.sample, [&](unsigned row, const RowState& state) {
            for (unsigned k = 0; k < columns; ++k)
                t.steps[row + k] = table_step(t.class_of, columns, t.sample, state, k);
        });
        return t;
    }

    static const AsciiTable ASCII;

    // Emoji sequences by table, as ASCII is (the same states and rows), in
    // the columns of EmojiColumns: the decisions between their bases, marks
    // and spaces are the rules' own, computed at compile time. A ZWJ after
    // a base, where the rules hold it (LB9) and join it to any base after
    // it (LB8a) with the state after that base its own, leads to one more
    // row, ZWJ_ROW, whose only steps are to a base: a state that the rules
    // never hold, so that the steps never end there. Two regional
    // indicators (a flag) are one step where flags holds it: the rules' own
    // break before the first, none between them (LB30a), and the state
    // after the second.
    static constexpr unsigned ZWJ_ROW = ASCII_STATES * ASCII_COLUMNS;
    struct EmojiTable {
        AsciiStep steps[ZWJ_ROW + ASCII_COLUMNS] = {};
        AsciiStep flags[ASCII_STATES] = {};
    };

    // The step of a flag from state s (see EmojiTable), in the emoji
    // table's columns; it asks where the break between the two, or the
    // state after them, is none that a row holds.
    static constexpr AsciiStep flag_step(const RowState& s, const char32_t* sample) {
        using E = EmojiColumns;
        constexpr AsciiStep ASK{0, A::Prohibited, ASKS};
        const Char p = row_char(s, sample);
        const Char first = after_char(p, s.last, C::RI, sample);
        const Char second = after_char(first, C::RI, C::RI, sample);
        PairRules rules = row_rules(s);
        const BreakAction before = rules.rules(p, first, &second);
        rules.carry_forward(first);
        // Whatever follows the flag, nothing breaks it.
        PairRules held = rules;
        if (held.rules(first, second, nullptr) != A::Prohibited) return ASK;
        for (unsigned k = 0; k < E::EXIT; ++k) {
            Char next = after_char(second, C::RI, E::class_of[k], sample);
            if (next.cls == C::CM) next.eff = second.eff;
            PairRules again = rules;
            if (again.rules(first, second, &next) != A::Prohibited) return ASK;
        }
        held.carry_forward(second);
        if (!held.row_holds_state() || before == A::Mandatory) return ASK;
        const unsigned row = ascii_row(C::RI, held.non_space_, held.numeric_tail_prev_, held.numeric_tail_prev2_,
                                       C::RI, false);
        return {std::uint16_t(row), before, 0};
    }

    static constexpr EmojiTable build_emoji_table() {
        using E = EmojiColumns;
        EmojiTable t{};
        char32_t sample[CLASS_COUNT] = {};
        sample[unsigned(C::SP)] = 0x20;
        sample[unsigned(C::AL)] = U'A';
        sample[unsigned(C::ID)] = 0x1F600;
        sample[unsigned(C::EB)] = 0x1F466;
        sample[unsigned(C::EM)] = 0x1F3FB;
        sample[unsigned(C::CM)] = 0xFE0F;
        sample[unsigned(C::ZWJ)] = 0x200D;
        sample[unsigned(C::RI)] = 0x1F1E6;
        // The columns from SP to CM step; ZWJ's, RI's and EXIT's ask.
        constexpr unsigned STEPPED = E::ZWJ;
        static_assert(E::CM + 1 == E::ZWJ && E::ZWJ + 1 == E::RI && E::RI + 1 == E::EXIT);
        for (AsciiStep& s : t.steps) s = {0, A::Prohibited, ASKS};
        for (AsciiStep& s : t.flags) s = {0, A::Prohibited, ASKS};
        for_each_state(sample, [&](unsigned row, const RowState& state) {
            for (unsigned k = 0; k < STEPPED; ++k)
                t.steps[row + k] = table_step(E::class_of, STEPPED, sample, state, k);
            t.flags[row / ASCII_COLUMNS] = flag_step(state, sample);
            if (!in(state.last, set_of(C::AL, C::ID, C::EB, C::EM))) return;
            bool joins = true;
            for (unsigned k : {E::AL, E::ID, E::EB, E::EM}) {
                const Char p = row_char(state, sample);
                const Char z = after_char(p, state.last, C::ZWJ, sample);
                const Char c = after_char(z, state.last, E::class_of[k], sample);
                PairRules rules = row_rules(state);
                const bool held = rules.rules(p, z, nullptr) == A::Prohibited;
                rules.carry_forward(z);
                const bool joined = rules.rules(z, c, nullptr) == A::Prohibited;
                rules.carry_forward(c);
                const AsciiStep& step = t.steps[row + k];
                joins = joins && held && joined && !step.ask && rules.row_holds_state() &&
                        rules.row_after(state, c.cls) == step.next;
            }
            if (!joins) return;
            t.steps[row + E::ZWJ] = {std::uint16_t(ZWJ_ROW), A::Prohibited, 0};
            for (unsigned k : {E::AL, E::ID, E::EB, E::EM}) {
                AsciiStep& after_zwj = t.steps[ZWJ_ROW + k];
                if (after_zwj.ask) after_zwj = {t.steps[row + k].next, A::Prohibited, 0};
                if (after_zwj.next != t.steps[row + k].next)
                    throw "the state after a ZWJ and a base depends on what preceded them";
            }
        });
        return t;
    }

    static const EmojiTable EMOJI;

    // The row of the table for the rules' state after last, a base of class
    // cls, or ASCII_STATES * ASCII_COLUMNS where the table cannot stand for it.
    unsigned ascii_row_after(C cls, C before, bool base_first) const {
        if (zw_run_ != (non_space_ == C::ZW) || non_space_opens_ || ri_odd_prev_)
            return ASCII_STATES * ASCII_COLUMNS;
        return ascii_row(cls, non_space_, numeric_tail_prev_, numeric_tail_prev2_, before,
                         base_first);
    }

    // The rules' state after the table's steps, which stopped at row.
    void after_ascii(unsigned row) {
        const unsigned state = row / ASCII_COLUMNS, group = state / 4;
        non_space_ = group < CLASS_COUNT       ? C(group)
                     : group < 2 * CLASS_COUNT ? C(group - CLASS_COUNT)
                                               : C::HY;
        non_space_opens_ = false;
        zw_run_ = non_space_ == C::ZW;
        numeric_tail_prev_ = state & 2;
        numeric_tail_prev2_ = state & 1;
        ri_odd_prev_ = false;
    }

private:
    LookAhead ahead_;  // never used by the quick pairs, so none for the table
    bool zw_run_ = false;
    // The nearest code point at or before prev whose raw class is not SP: its
    // class (XX if there is none) and whether it is a quote that LB15a holds to.
    C non_space_ = C::XX;
    bool non_space_opens_ = false;
    // Walking back from prev (and from the code point before prev) over SY and
    // IS finds NU.
    bool numeric_tail_prev_ = false;
    bool numeric_tail_prev2_ = false;
    // The regional indicators counted back from prev are odd in number.
    bool ri_odd_prev_ = false;

public:
    // The lane of decide_pairs: bases whose pairs with each other are quick
    // pairs, and spaces between them. Each call decides one pair and carries
    // the state forward as decide would.

    // Two bases of LANE: PAIRS decides.
    BreakAction lane_pair(C prev, C cur) {
        const BreakAction action = PAIRS.at(numeric_tail_prev_, numeric_tail_prev2_, prev, cur);
        lane_base(cur);
        return action;
    }

    // OP after a base of LANE other than PR, PO, HY and HH (or its marks):
    // LB30 holds it to AL, HL and NU unless it is East Asian (wide).
    BreakAction lane_before_open(C prev, bool wide) {
        const BreakAction action = wide && in(prev, set_of(C::AL, C::HL, C::NU))
                                       ? A::Allowed
                                       : PAIRS.at(numeric_tail_prev_, numeric_tail_prev2_, prev, C::OP);
        lane_base(C::OP);
        return action;
    }

    // A base of LANE after prev, HY or HH (or its marks), whose base is the
    // first code point of the text or follows one of class before.
    BreakAction lane_after_hyphen(C prev, C cur, bool base_first, C before) {
        constexpr ClassSet OPENING = set_of(C::BK, C::CR, C::GL, C::LF, C::NL, C::SP, C::ZW, C::CB,
                                            C::OP, C::QU);
        if (in(cur, ALPHA) && (base_first || in(before, OPENING))) {  // LB20a
            lane_base(cur);
            return A::Prohibited;
        }
        // LB21a, after LB20 has broken before CB
        if (!base_first && cur != C::HL && cur != C::CB && before == C::HL) {
            lane_base(cur);
            return A::Prohibited;
        }
        return lane_pair(prev, cur);
    }

    // A ZW after a base of LANE, a space or a mark: LB7 holds it to what
    // precedes, and the look-backs pass over it as over any base.
    void lane_zw() {
        non_space_ = C::ZW;
        non_space_opens_ = false;
        numeric_tail_prev2_ = numeric_tail_prev_;
        numeric_tail_prev_ = false;
        ri_odd_prev_ = false;
    }

    // A base of LANE right after a ZW: LB8.
    BreakAction lane_after_zw(C cur) {
        lane_base(cur);
        return A::Allowed;
    }

    // A base of LANE right after a ZWJ: LB8a.
    BreakAction lane_after_zwj(C cur) {
        lane_base(cur);
        return A::Prohibited;
    }

    // EM after EB (or its marks): LB30b.
    BreakAction lane_modifier() {
        lane_base(C::EM);
        return A::Prohibited;
    }

    // A code point of a run after another (of BREAKING or HELD), which
    // lane_pair would have decided (breaking_pairs_break, held_in_runs).
    void lane_breaking(C cur) { lane_base(cur); }

    // A mark after a base of LANE or RI (or its marks), which stands as eff
    // (LB9): after RI the count of those before is unchanged.
    void lane_mark(C eff) {
        const bool ri_odd = ri_odd_prev_;
        lane_base(eff);
        ri_odd_prev_ = ri_odd;
    }

    // RI after RI (or its marks): LB30a holds the pair when the indicators
    // before are odd in number, LB31 breaks it otherwise.
    BreakAction lane_indicator_pair() {
        const BreakAction action = ri_odd_prev_ ? A::Prohibited : A::Allowed;
        lane_base(C::RI);
        return action;
    }

    // A space after a base or a space: LB7, and the look-backs pass over it.
    constexpr void lane_space() {
        numeric_tail_prev2_ = numeric_tail_prev_;
        numeric_tail_prev_ = false;
        ri_odd_prev_ = false;
    }

    // A base of LANE after a space: LB18 allows the break where quick_after_space
    // would; false (and nothing changed) where the rules must decide.
    bool lane_after_space(C cur) {
        if (!space_breaks_before(cur)) return false;
        lane_base(cur);
        return true;
    }

    // Whether after_space decides: not after a ZW (LB8).
    constexpr bool decides_after_space() const { return !zw_run_; }

    // The pair of a space and cur, a base of LANE or a quote (not East Asian),
    // with no ZW before the space; after is the class of the code point after
    // cur where LB15b (a final quote) or LB15c (IS) reads it (BK at the end
    // of the text), else anything. In the order of the rules: LB11 and LB13,
    // LB15c and LB15d, LB14, LB15a, LB17, LB16, LB15b, then LB18 allows it.
    constexpr BreakAction after_space(C cur, C after) const {
        if (cur == C::IS) return after == C::NU ? A::Allowed : A::Prohibited;
        // A quote is held where a letter would be, and by LB15b where it closes.
        const bool breaks =
            cur == C::QU ? space_breaks_before(C::AL) && !closes_quotation(after) : space_breaks_before(cur);
        return breaks ? A::Allowed : A::Prohibited;
    }

    // A base of LANE decided by after_space.
    void lane_next(C cur) { lane_base(cur); }

    // A quotation mark, which opens (LB15a) or not.
    void lane_quote(bool opens) {
        non_space_ = C::QU;
        non_space_opens_ = opens;
        numeric_tail_prev2_ = numeric_tail_prev_;
        numeric_tail_prev_ = false;
        ri_odd_prev_ = false;
    }

    // After a run of letters, LB18 allows the break after a space before a
    // letter, as lane_after_space(AL) would: only a ZW before the space stops it.
    bool allows_letter_after_space() const { return !zw_run_; }

    // The state after a run of letters (AL or HL, the last of class last)
    // inside which every pair is ALPHA × ALPHA.
    void after_letters(C last = C::AL) {
        non_space_ = last;
        non_space_opens_ = false;
        numeric_tail_prev_ = numeric_tail_prev2_ = false;
        ri_odd_prev_ = false;
    }

private:
    // carry_forward for a base of LANE or RI (neither a space nor a quote).
    void lane_base(C cur) {
        non_space_ = cur;
        non_space_opens_ = false;
        const bool tail = cur == C::NU || (in(cur, set_of(C::SY, C::IS)) && numeric_tail_prev_);
        numeric_tail_prev2_ = numeric_tail_prev_;
        numeric_tail_prev_ = tail;
        ri_odd_prev_ = cur == C::RI && !ri_odd_prev_;
    }

    constexpr void carry_forward(const Char& c) {
        if (c.cls != C::SP) {
            non_space_ = c.eff;
            // LB15a: (sot | BK | CR | GL | LF | NL | SP | ZW | OP | QU) Pi CM*
            non_space_opens_ =
                c.eff == C::QU && data::is_initial_quote(c.base_cp) &&
                (c.base_first || in(c.before_eff, set_of(C::BK, C::CR, C::GL, C::LF, C::NL,
                                                         C::SP, C::ZW, C::OP, C::QU)));
        }
        const bool tail = c.eff == C::NU ||
                          (in(c.eff, set_of(C::SY, C::IS)) && numeric_tail_prev_);
        numeric_tail_prev2_ = numeric_tail_prev_;
        numeric_tail_prev_ = tail;
        ri_odd_prev_ = c.eff == C::RI && ((c.cls == C::RI) != ri_odd_prev_);
    }

    constexpr BreakAction rules(const Char& p, const Char& c, const Char* nx) {
        const C rp = p.cls, rc = c.cls, ep = p.eff, ec = c.eff;
        const bool zw_run = zw_run_;
        zw_run_ = false;

        if (rp == C::BK) return A::Mandatory;                                       // LB4
        if (rp == C::CR) return rc == C::LF ? A::Prohibited : A::Mandatory;         // LB5
        if (rp == C::LF || rp == C::NL) return A::Mandatory;                        // LB5
        if (in(rc, HARD_BREAKS)) {                                                  // LB6
            zw_run_ = zw_run;
            return A::Prohibited;
        }
        if (rc == C::SP || rc == C::ZW) {                                           // LB7
            zw_run_ = zw_run || rp == C::ZW || rc == C::ZW;
            return A::Prohibited;
        }
        if (zw_run) return A::Allowed;                                              // LB8: ZW SP* ÷
        if (rp == C::ZW) return A::Allowed;                                         // LB8
        if (rp == C::ZWJ) return A::Prohibited;                                     // LB8a
        if (in(rc, MARKS) && !in(ep, NO_ATTACH)) return A::Prohibited;              // LB9
        if (ec == C::WJ) return A::Prohibited;                                      // LB11
        if (ep == C::GL) return A::Prohibited;                                      // LB12
        if (ep == C::WJ) return A::Prohibited;                                      // LB11
        if (in(ec, set_of(C::CL, C::CP, C::EX, C::SY))) return A::Prohibited;       // LB13
        if (ec == C::GL && !in(ep, set_of(C::SP, C::BA, C::HY, C::HH)))             // LB12a
            return A::Prohibited;
        if (ec == C::IS) {
            // LB15c: SP ÷ IS NU; LB15d: × IS
            return rp == C::SP && nx && nx->eff == C::NU ? A::Allowed : A::Prohibited;
        }
        if (non_space_ == C::OP) return A::Prohibited;                              // LB14: OP SP* ×
        if (non_space_opens_) return A::Prohibited;                                 // LB15a
        if (ec == C::B2 && non_space_ == C::B2) return A::Prohibited;               // LB17: B2 SP* × B2
        if (ec == C::NS && in(non_space_, CLOSE)) return A::Prohibited;             // LB16: (CL|CP) SP* × NS
        if (ec == C::QU && data::is_final_quote(c.cp) && closes_quotation(nx))      // LB15b
            return A::Prohibited;
        if (rp == C::SP) return A::Allowed;                                         // LB18
        if (ec == C::QU && !data::is_initial_quote(c.cp)) return A::Prohibited;     // LB19: × QU
        if (ep == C::QU && !data::is_final_quote(p.base_cp)) return A::Prohibited;  // LB19: QU ×
        if (ec == C::QU) {
            // LB19a: an initial quote binds unless East Asian text is on both sides.
            if (!east_asian(p.base_cp) || !nx || !east_asian(nx->cp)) return A::Prohibited;
        }
        if (ep == C::CB) return A::Allowed;                                         // LB20
        if (ep == C::QU) {
            // LB19a: a final quote binds unless East Asian text is on both sides.
            if (!east_asian(c.cp)) return A::Prohibited;
            if (p.base_first || !east_asian(p.before_cp)) return A::Prohibited;
            if (in(ec, set_of(C::BA, C::HH, C::HY, C::NS))) return A::Prohibited;   // LB21
            if (ec == C::CB) return A::Allowed;                                     // LB20
            if (ec == C::IN) return A::Prohibited;                                  // LB22
            return from_lb25(p, c, nx);
        }
        if (ec == C::CB) return A::Allowed;                                         // LB20
        if (in(ec, set_of(C::BA, C::HH, C::HY, C::NS))) return A::Prohibited;       // LB21
        if (in(ep, HYPHENS) && in(ec, ALPHA) &&                                     // LB20a
            (p.base_first ||
             in(p.before_eff, set_of(C::BK, C::CR, C::GL, C::LF, C::NL, C::SP, C::ZW, C::CB,
                                     C::OP, C::QU))))
            return A::Prohibited;
        if (ep == C::BB) return A::Prohibited;                                      // LB21
        if (in(ep, HYPHENS) && !p.base_first && ec != C::HL && p.before_eff == C::HL)  // LB21a
            return A::Prohibited;
        if (ep == C::SY && ec == C::HL) return A::Prohibited;                       // LB21b
        if (ec == C::IN) return A::Prohibited;                                      // LB22
        if ((in(ep, ALPHA) && ec == C::NU) || (ep == C::NU && in(ec, ALPHA)))       // LB23
            return A::Prohibited;
        if ((ep == C::PR && in(ec, set_of(C::ID, C::EB, C::EM))) ||                 // LB23a
            (in(ep, set_of(C::ID, C::EB, C::EM)) && ec == C::PO))
            return A::Prohibited;
        if ((in(ep, PREFIX_POSTFIX) && in(ec, ALPHA)) ||                            // LB24
            (in(ep, ALPHA) && in(ec, PREFIX_POSTFIX)))
            return A::Prohibited;
        return from_lb25(p, c, nx);
    }

    // LB15b: × Pf (eot | BK | CR | GL | LF | NL | SP | WJ | ZW | CL | CP | EX | IS | QU | SY)
    static constexpr bool closes_quotation(const Char* nx) { return !nx || closes_quotation(nx->cls); }
    static constexpr bool closes_quotation(C after) {
        return in(after, set_of(C::BK, C::CR, C::GL, C::LF, C::NL, C::SP, C::WJ, C::ZW, C::CL, C::CP,
                                C::EX, C::IS, C::QU, C::SY));
    }

    // LB25 and the rules after it.
    constexpr BreakAction from_lb25(const Char& p, const Char& c, const Char* nx) const {
        const C ep = p.eff, ec = c.eff;
        if (numeric_pair(p, c, nx)) return A::Prohibited;                           // LB25
        if ((ep == C::JL && in(ec, set_of(C::JL, C::JV, C::H2, C::H3))) ||          // LB26
            (in(ep, set_of(C::JV, C::H2)) && in(ec, set_of(C::JV, C::JT))) ||
            (in(ep, set_of(C::JT, C::H3)) && ec == C::JT))
            return A::Prohibited;
        constexpr ClassSet KOREAN = set_of(C::JL, C::JV, C::JT, C::H2, C::H3);
        if ((in(ep, KOREAN) && ec == C::PO) || (ep == C::PR && in(ec, KOREAN)))     // LB27
            return A::Prohibited;
        if (in(ep, ALPHA) && in(ec, ALPHA)) return A::Prohibited;                   // LB28
        if (aksara_pair(p, c, nx)) return A::Prohibited;                            // LB28a
        if (ep == C::IS && in(ec, ALPHA)) return A::Prohibited;                     // LB29
        if (in(ep, set_of(C::AL, C::HL, C::NU)) && ec == C::OP && !east_asian(c.cp))  // LB30
            return A::Prohibited;
        if (ep == C::CP && in(ec, set_of(C::AL, C::HL, C::NU)) && !east_asian(p.base_cp))  // LB30
            return A::Prohibited;
        if (ep == C::EB && ec == C::EM) return A::Prohibited;                       // LB30b
        if (ep == C::RI && ec == C::RI && ri_odd_prev_) return A::Prohibited;       // LB30a
        if (ec == C::EM && data::is_unassigned_pictographic(p.base_cp))             // LB30b
            return A::Prohibited;
        return A::Allowed;                                                          // LB31
    }

    // LB25: the pairs inside a number, with the look-back over SY and IS carried
    // forward (numeric_tail_prev_, numeric_tail_prev2_).
    constexpr bool numeric_pair(const Char& p, const Char& c, const Char* nx) const {
        const C ep = p.eff, ec = c.eff;
        if (in(ep, PREFIX_POSTFIX)) {
            if (ec == C::NU) return true;                                           // (PR | PO) × NU
            if (ec == C::HY && nx && nx->eff == C::NU) return true;                 // (PR | PO) × HY NU
            if (ec == C::OP && nx) {                                                // (PR | PO) × OP SP* NU
                if (nx->eff == C::NU) return true;
                // After a space a mark is AL (LB10), so only a NU itself counts.
                if (nx->cls == C::SP &&
                    ahead_.first_class_skipping(nx->index, set_of(C::SP)) == C::NU)
                    return true;
            }
        }
        if (in(ep, set_of(C::OP, C::HY)) && ec == C::NU) return true;               // (OP | HY) × NU
        if (ep == C::IS && ec == C::NU) return true;                                // IS × NU
        if (in(ec, set_of(C::NU, C::SY, C::IS, C::CL, C::CP)) && numeric_tail_prev_)  // NU (SY|IS)* × ...
            return true;
        if (in(ec, PREFIX_POSTFIX)) {                                               // NU (SY|IS)* (CL|CP)? × (PR|PO)
            if (in(ep, CLOSE) ? numeric_tail_prev2_ : numeric_tail_prev_) return true;
        }
        return false;
    }

    static constexpr bool aksara_like(const Char& x) {
        return in(x.eff, AK_AS) || x.base_cp == DOTTED_CIRCLE;
    }

    // The code point before the base of x, marks skipped, is AK, AS or U+25CC.
    static constexpr bool aksara_before_base(const Char& x) {
        return !x.base_first && (in(x.before_eff, AK_AS) || x.before_base_cp == DOTTED_CIRCLE);
    }

    // LB28a: the orthographic syllables of Brahmic scripts.
    constexpr bool aksara_pair(const Char& p, const Char& c, const Char* nx) const {
        const C ep = p.eff, ec = c.eff;
        const bool left = aksara_like(p);
        const bool right = aksara_like(c);
        if (ep == C::AP && right) return true;                                      // AP × (AK | ◌ | AS)
        if (ep == C::VI && (right || ec == C::VF) && aksara_before_base(p))         // (AK | ◌ | AS) VI × (AK | ◌ | AS), × VF
            return true;
        if (left && right && nx &&                                                  // (AK | ◌ | AS) × (AK | ◌ | AS) VF
            ahead_.first_class_skipping(nx->index, MARKS) == C::VF)
            return true;
        return left && in(ec, set_of(C::VF, C::VI));                                // (AK | ◌ | AS) × (VF | VI)
    }
};

constexpr PairRules::PairTable PairRules::PAIRS = PairRules::build_pairs();
constexpr PairRules::AsciiTable PairRules::ASCII = PairRules::build_ascii_table();
constexpr LetterColumns LETTER_COLUMNS = build_letter_columns(PairRules::ASCII, PairRules::ASCII_EXIT);
constexpr StretchBlocks STRETCH_BLOCKS = build_stretch_blocks(
    LETTER_COLUMNS, PairRules::ASCII.column['a'], PairRules::ASCII.column[' '], PairRules::ASCII.zw_column);

#if SCRIVLET_STRETCH_AVX2
// The units (16-bit lanes, all ones) inside the block whose bit is set in
// bits: index and bit select each unit's byte of bits and its bit there.
[[gnu::target("avx2"), gnu::always_inline]] inline __m256i units_in_set(__m256i bits, __m256i index,
                                                                        __m256i bit, __m256i inside) {
    const __m256i set = _mm256_and_si256(_mm256_and_si256(_mm256_shuffle_epi8(bits, index), bit),
                                         _mm256_set1_epi16(0xFF));
    return _mm256_andnot_si256(_mm256_cmpeq_epi16(set, _mm256_setzero_si256()), inside);
}

// The mask of units 0-7 in bits shift.. of a movemask of packed 16-bit lanes,
// and of units 8-15 sixteen bits above them.
constexpr unsigned halves(unsigned m, unsigned shift) {
    return ((m >> shift) & 0xFF) | ((m >> (shift + 8)) & 0xFF00);
}

// The UTF-8 offset of unit q of a step at offset off: three bytes for each
// unit before it, less one for each below U+0800 (two) and one more for each
// below U+0080 (one).
[[gnu::target("popcnt"), gnu::always_inline]] inline std::size_t offset_in_step(std::size_t off, unsigned one,
                                                                                unsigned two, unsigned q) {
    const unsigned before = (1u << q) - 1;
    return off + 3 * q - unsigned(__builtin_popcount(one & before)) - unsigned(__builtin_popcount(two & before));
}

// A stretch of UCS-2 sixteen units a step, while they are letters and marks
// of the block of its first unit, or a single U+0020, U+200B or hyphen before
// a letter of the table's column of 'a', whose break (LB18, LB8, LB31) goes
// to slots. Moves at and offset to where the steps end, always after a
// letter or a mark, and returns how many breaks it wrote; the scalar steps go
// on from there, unless ended: the unit there is neither a letter or mark of
// any stretch nor a U+0020 or U+200B with a letter after it, where they would
// stop at once. Each step writes eight breaks at most, and four without a
// branch.
[[gnu::target("avx2,popcnt,bmi")]] std::size_t stretch_chunks_avx2(const char16_t* d, std::size_t n,
                                                                   std::size_t& at, std::size_t& offset,
                                                                   Opportunity* slots, std::size_t room,
                                                                   bool& ended) noexcept {
    std::size_t i = at, off = offset, put = 0;
    const unsigned block = d[i] >> 7;
    const StretchBlocks::Block& b = STRETCH_BLOCKS.of[block];
    const __m256i zero = _mm256_setzero_si256();
    const __m256i lo = _mm256_set1_epi16(short(block << 7));
    const __m256i last = _mm256_set1_epi16(0x7F);
    const auto bits_of = [](const std::uint8_t(&bits)[16]) {
        return _mm_loadu_si128(reinterpret_cast<const __m128i*>(bits));
    };
    const __m256i member_bits = _mm256_broadcastsi128_si256(bits_of(b.member));
    const __m256i letter_bits = _mm256_broadcastsi128_si256(bits_of(b.letter));
    const __m256i masks = _mm256_setr_epi8(1, 2, 4, 8, 16, 32, 64, -128, 1, 2, 4, 8, 16, 32, 64, -128, 1, 2, 4, 8,
                                           16, 32, 64, -128, 1, 2, 4, 8, 16, 32, 64, -128);
    const __m256i space = _mm256_set1_epi16(0x20), zw = _mm256_set1_epi16(short(0x200B)),
                  hyphen = _mm256_set1_epi16('-');
    const __m256i c7ff = _mm256_set1_epi16(0x7FF);
    const auto is_letter = [](char16_t u) {
        return (LETTER_COLUMNS.of[u] & LetterColumns::COLUMN_MASK) == STRETCH_BLOCKS.letter_column;
    };
    // The last step ended with a gap whose letter is this step's first: its
    // bytes, given back if the steps end here.
    bool gap_last = false;
    std::size_t gap_bytes = 0;
    while (i + 16 < n && room - put >= 8) {
        const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(d + i));
        const __m256i x = _mm256_sub_epi16(v, lo);
        const __m256i inside = _mm256_cmpeq_epi16(_mm256_subs_epu16(x, last), zero);
        const __m256i index = _mm256_and_si256(_mm256_srli_epi16(x, 3), _mm256_set1_epi16(0x0F));
        const __m256i bit = _mm256_shuffle_epi8(masks, _mm256_and_si256(x, _mm256_set1_epi16(7)));
        const __m256i gap = _mm256_or_si256(_mm256_or_si256(_mm256_cmpeq_epi16(v, space), _mm256_cmpeq_epi16(v, zw)),
                                            _mm256_cmpeq_epi16(v, hyphen));
        // Units below U+0080 (U+0800) take one (two) bytes less than three.
        const __m256i one = _mm256_cmpeq_epi16(_mm256_subs_epu16(v, last), zero);
        const __m256i two = _mm256_cmpeq_epi16(_mm256_subs_epu16(v, c7ff), zero);
        // packs works within each half: bits 0-7 of a mask are units 0-7, bits 16-23 units 8-15.
        const unsigned ml = unsigned(_mm256_movemask_epi8(_mm256_packs_epi16(
            units_in_set(member_bits, index, bit, inside), units_in_set(letter_bits, index, bit, inside))));
        const unsigned go = unsigned(_mm256_movemask_epi8(_mm256_packs_epi16(gap, one)));
        const unsigned tw = unsigned(_mm256_movemask_epi8(_mm256_packs_epi16(two, two)));
        const unsigned member = halves(ml, 0), letter = halves(ml, 8), gaps = halves(go, 0);
        const unsigned one_byte = halves(go, 8), two_bytes = halves(tw, 0);
        // A gap joins with a letter after it: in this step, or the next unit.
        const unsigned joins = gaps & ((letter >> 1) | (unsigned(is_letter(d[i + 16])) << 15));
        const unsigned kept = member | joins;
        const unsigned k = unsigned(std::countr_one(kept));  // 16 if all are kept
        // The letters after the gaps up to k (unit 16: the next step's first).
        unsigned g = (joins << 1) & ((2u << k) - 1);
        const unsigned written = unsigned(std::popcount(g));
        Opportunity* const s = slots + put;
        for (unsigned r = 0; r < 4; ++r) {  // the letters' offsets, whether or not there are four
            s[r] = {offset_in_step(off, one_byte, two_bytes, unsigned(std::countr_zero(g)) & 31), A::Allowed};
            g &= g - 1;
        }
        for (unsigned r = 4; g != 0; ++r) [[unlikely]] {
            s[r] = {offset_in_step(off, one_byte, two_bytes, unsigned(std::countr_zero(g))), A::Allowed};
            g &= g - 1;
        }
        put += written;
        if (k < 16) {
            if (k == 0 && gap_last) break;
            off = offset_in_step(off, one_byte, two_bytes, k);
            i += k;
            gap_last = false;
            // What the scalar steps would stop at too: a unit outside every
            // stretch but a U+0020 or U+200B with a letter after it.
            const char16_t u = d[i];
            const bool gap_unit = u == 0x20 || u == 0x200B;
            ended = !(LETTER_COLUMNS.of[u] & LetterColumns::STRETCH_BIT) && (!gap_unit || !is_letter(d[i + 1]));
            break;
        }
        gap_last = (joins >> 15) & 1;
        gap_bytes = d[i + 15] == 0x200B ? 3 : 1;
        off = offset_in_step(off, one_byte, two_bytes, 16);
        i += 16;
    }
    if (gap_last) {
        // The last unit taken is a gap: give it and its letter's break back,
        // so that the steps end after a letter or a mark.
        --i;
        off -= gap_bytes;
        --put;
    }
    at = i;
    offset = off;
    return put;
}
#endif
#if SCRIVLET_VECTOR_UNITS
// The rules' ASCII table read two bases back, for the vector steps. From
// the table's row after a letter, the rows that its steps over its own
// columns reach; for each pair (x, y) of columns, the rows that can follow
// a base of y and its marks (LB9) after a base of x and its marks; and for
// each column z, whether the step before a unit of z is the same from all
// of those rows, and what. Where it is, the decision before a unit needs
// only the columns of the two bases before it, so that sixty-two units are
// decided at once; where it is not, or where a step asks, the steps of one
// unit decide. A base the steps do not see (a mark at the start of a step
// stands for it) may be followed by any of the rows. Each pair of columns
// is put in a group of the pairs with the same decisions; the pairs after
// which a single row can follow (where the steps can end) also know that row.
struct VectorPairs {
    static constexpr unsigned COLUMNS = PairRules::ASCII_COLUMNS;
    static constexpr unsigned EXIT = PairRules::ASCII_EXIT;  // and units of no known block
    static constexpr unsigned STATES = PairRules::ASCII_STATES;
    static constexpr std::uint8_t ONE_ROW = 0x80;
    static constexpr std::uint16_t NO_ROW = 0xFFFF;
    static_assert(COLUMNS <= 20 && EXIT == COLUMNS - 1);
    // The group of the pair (x, y) at group[y / 4][(y % 4) * 32 + x], with
    // ONE_ROW where a single row follows.
    std::uint8_t group[5][128] = {};
    // By group, a bit per column z (z 0-7, 8-15, 16-23): the break is allowed
    // before z; the steps stop before z.
    std::uint8_t allowed[3][64] = {};
    std::uint8_t stop[3][64] = {};
    std::uint16_t row_after[COLUMNS][COLUMNS] = {};  // NO_ROW where several can follow
    // A bit for each column of 0-63, for the bytes above.
    std::uint8_t bit[64] = {};
};

constexpr VectorPairs build_vector_pairs() {
    using V = VectorPairs;
    const auto& t = PairRules::ASCII;
    constexpr unsigned W = PairRules::ASCII_COLUMNS;
    const unsigned mark = t.mark_column;
    V v;
    bool reach[V::STATES] = {};
    unsigned work[V::STATES] = {}, count = 0;
    reach[t.letter_row / W] = true;
    work[count++] = t.letter_row / W;
    while (count > 0) {
        const unsigned s = work[--count];
        for (unsigned k = 0; k < V::EXIT; ++k) {
            const auto& step = t.steps[s * W + k];
            if (step.ask || reach[step.next / W]) continue;
            reach[step.next / W] = true;
            work[count++] = step.next / W;
        }
    }
    // The rows after a unit of column k from the rows of from, and the marks
    // after it (LB9).
    const auto after = [&](const bool(&from)[V::STATES], unsigned k, bool(&to)[V::STATES]) {
        for (unsigned s = 0; s < V::STATES; ++s)
            if (from[s] && !t.steps[s * W + k].ask) to[t.steps[s * W + k].next / W] = true;
        for (bool grew = true; grew;) {
            grew = false;
            for (unsigned s = 0; s < V::STATES; ++s) {
                const auto& step = t.steps[s * W + mark];
                if (to[s] && !step.ask && !to[step.next / W]) to[step.next / W] = grew = true;
            }
        }
    };
    // A unit of the column of marks stands for a base that the steps do not
    // see: any row may follow it.
    bool after_base[V::COLUMNS][V::STATES] = {};
    for (unsigned x = 0; x < V::EXIT; ++x) {
        if (x == mark) {
            for (unsigned s = 0; s < V::STATES; ++s) after_base[x][s] = reach[s];
        } else {
            after(reach, x, after_base[x]);
        }
    }
    std::uint32_t group_allowed[64] = {}, group_stop[64] = {};
    unsigned groups = 0;
    for (unsigned x = 0; x < V::COLUMNS; ++x) {
        for (unsigned y = 0; y < V::COLUMNS; ++y) {
            bool rows[V::STATES] = {};
            if (x != V::EXIT && y != V::EXIT) {
                if (y == mark) {
                    for (unsigned s = 0; s < V::STATES; ++s) rows[s] = reach[s];
                } else {
                    after(after_base[x], y, rows);
                }
            }
            unsigned row_count = 0, one_row = 0;
            for (unsigned s = 0; s < V::STATES; ++s) {
                if (!rows[s]) continue;
                ++row_count;
                one_row = s * W;
            }
            std::uint32_t allowed = 0, stop = 0;
            for (unsigned z = 0; z < V::COLUMNS; ++z) {
                int action = -1;
                bool stops = row_count == 0 || z == V::EXIT;
                for (unsigned s = 0; s < V::STATES && !stops; ++s) {
                    if (!rows[s]) continue;
                    const auto& step = t.steps[s * W + z];
                    if (step.ask || (action >= 0 && action != int(step.action)) ||
                        step.action == BreakAction::Mandatory) {
                        stops = true;
                    } else {
                        action = int(step.action);
                    }
                }
                if (stops) stop |= 1u << z;
                else if (action == int(BreakAction::Allowed)) allowed |= 1u << z;
            }
            unsigned g = 0;
            while (g < groups && (group_allowed[g] != allowed || group_stop[g] != stop)) ++g;
            if (g == groups) {
                if (groups == 64) throw "more than 64 groups of pairs";
                group_allowed[g] = allowed;
                group_stop[g] = stop;
                ++groups;
            }
            v.row_after[x][y] = row_count == 1 ? std::uint16_t(one_row) : V::NO_ROW;
            v.group[y / 4][(y % 4) * 32 + x] = std::uint8_t(g | (row_count == 1 ? V::ONE_ROW : 0));
        }
    }
    for (unsigned g = 0; g < groups; ++g) {
        for (unsigned part = 0; part < 3; ++part) {
            v.allowed[part][g] = std::uint8_t(group_allowed[g] >> (8 * part));
            v.stop[part][g] = std::uint8_t(group_stop[g] >> (8 * part));
        }
    }
    for (unsigned k = 0; k < 64; ++k) v.bit[k] = std::uint8_t(1u << (k % 8));
    return v;
}

constexpr VectorPairs VECTOR_PAIRS = build_vector_pairs();
// The steps go on from the table's row after a letter, and enter there.
static_assert(VECTOR_PAIRS.row_after[PairRules::ASCII.column['a']][PairRules::ASCII.column['a']] ==
                  PairRules::ASCII.letter_row,
              "a letter after a letter leads to the row after a letter");

// Eight breaks at these offsets from start, each paired with Allowed.
[[SCRIVLET_VBMI_TARGET, gnu::always_inline]] inline void write_breaks(__m512i* out, __m512i offsets, __m512i start) {
    const __m512i action = _mm512_set1_epi64(std::int64_t(BreakAction::Allowed));
    const __m512i wide = _mm512_add_epi64(offsets, start);
    const __m512i low = _mm512_setr_epi64(0, 8, 1, 9, 2, 10, 3, 11);
    const __m512i high = _mm512_setr_epi64(4, 12, 5, 13, 6, 14, 7, 15);
    _mm512_storeu_si512(out, _mm512_maskz_permutex2var_epi64(0xFF, wide, low, action));
    _mm512_storeu_si512(out + 1, _mm512_maskz_permutex2var_epi64(0xFF, wide, high, action));
}

// Each unit's base, one jump further back.
[[SCRIVLET_VBMI_TARGET, gnu::always_inline]] inline __m512i jump(__m512i base) {
    return _mm512_maskz_permutexvar_epi8(~std::uint64_t(0), base, base);
}

// The units of a step (a bit each) whose bit is set in bits for the group
// of their pair and their column (bit, part0 and part1 as the step finds them).
[[SCRIVLET_VBMI_TARGET, gnu::always_inline]] inline std::uint64_t pair_decisions(const std::uint8_t (&bits)[3][64],
                                                                                 __m512i group, __m512i bit,
                                                                                 __mmask64 part0, __mmask64 part1) {
    constexpr std::uint64_t ALL = ~std::uint64_t(0);
    __m512i b = _mm512_maskz_permutexvar_epi8(ALL, group, _mm512_loadu_si512(bits[2]));
    b = _mm512_mask_blend_epi8(part1, b, _mm512_maskz_permutexvar_epi8(ALL, group, _mm512_loadu_si512(bits[1])));
    b = _mm512_mask_blend_epi8(part0, b, _mm512_maskz_permutexvar_epi8(ALL, group, _mm512_loadu_si512(bits[0])));
    return _mm512_test_epi8_mask(b, bit);
}

// The table's steps over 16 or 32-bit units from at, up to sixty-two units
// a step, while each unit is of a column of the table (ASCII, or of the two
// blocks) and the pair of bases before it decides its step. Each step reads
// the sixty-four units from two before the first it decides; the last step
// ends after the last unit that a single row can follow, which the steps of
// one unit go on from. They enter only where row is the one row that can
// follow the base before at, after a column that stands before it. The
// breaks are written to slots, sixteen at a time or more: room is
// VECTOR_ROOM at least before each step. A unit of a block they do not
// read brings its block in within the step (four a step at most; where more
// are needed, at the unit where they stop); they read two blocks, or four
// where the text has needed more (Latin text draws on four). Where a try
// brought a block in at every step or more (text that changes script every
// few words), the tries of the next GATHER_UNITS units look each unit's entry
// up instead (BLOCKS 0), which costs more than reading a few blocks and less
// than bringing them in.
constexpr std::size_t GATHER_UNITS = 4096;

template <unsigned BLOCKS, typename Unit>
[[SCRIVLET_VBMI_TARGET, gnu::always_inline]] inline VectorRun steps_reading(const Unit* d, std::size_t n,
                                                                           std::size_t at, std::size_t offset,
                                                                           unsigned row, Opportunity* slots,
                                                                           std::size_t room, LineBlocks& blocks) {
    using namespace vector_units;
    using V = VectorPairs;
    static_assert(sizeof(Opportunity) == 16 && alignof(Opportunity) == 8);
    constexpr std::uint64_t DECIDED = ~std::uint64_t(3);  // window positions 2 to 63
    const std::uint8_t* const columns = LETTER_COLUMNS.of;
    const __m512i low_index = _mm512_sub_epi8(_mm512_loadu_si512(BYTE_INDEX), _mm512_set1_epi8(1));
    std::size_t i = at, off = offset, put = 0;
    bool first = true, new_block = false;
    unsigned steps = 0, brought = 0;
    __m512i end_previous = _mm512_setzero_si512(), end_own = _mm512_setzero_si512();
    unsigned end_at = 0;
    while (i + 62 <= n && room - put >= VECTOR_ROOM) {
        __m512i v0, v1;
        const std::uint64_t beyond = load_units(d + i - 2, v0, v1);
        __mmask64 one, two;
        const __m512i bytes = utf8_lengths(v0, v1, one, two);
        const __m512i before = bytes_before(bytes);
        const __m512i high0 = _mm512_srli_epi16(v0, 7), high1 = _mm512_srli_epi16(v1, 7);
        const __m512i low = low_bytes(v0, v1);
        ++steps;
        __m512i entry;
        std::uint64_t in[LineBlocks::COUNT] = {};
        __mmask64 known;
        if constexpr (BLOCKS == 0) {
            entry = gathered_entries(columns, v0, v1);
            known = ~beyond;
        } else {
            entry = entries_of(columns, low);
            known = one;
            for (unsigned k = 0; k < BLOCKS; ++k) {  // a slot not in use reads ASCII again
                in[k] = units_in_block(high0, high1, blocks.of[k]);
                entry = _mm512_mask_blend_epi8(in[k], entry,
                                               entries_of(columns + (std::size_t(blocks.of[k]) << 7), low));
                known |= in[k];
            }
            known &= ~beyond;
            // A unit of a block not read, and of a column, brings its block
            // in at once (in place of one the step reads, if need be: their
            // entries are already taken): text that changes script every few
            // words keeps to the steps. Four at most a step; a unit of no
            // column stops the steps there, so that the units after it need
            // no block.
            if (std::uint64_t unknown = ~known & ~beyond; unknown != 0) [[unlikely]] {
                for (unsigned more = 4; unknown != 0 && more != 0; --more) {
                    const char16_t u = char16_t(d[i - 2 + unsigned(std::countr_zero(unknown))]);
                    if ((columns[u] & LetterColumns::COLUMN_MASK) == V::EXIT) break;
                    unsigned k = blocks.used;
                    if (k < LineBlocks::COUNT) {
                        ++blocks.used;
                    } else {
                        k = blocks.next;
                        blocks.next = (k + 1) % LineBlocks::COUNT;
                    }
                    blocks.of[k] = u >> 7;
                    // (Not the units beyond the BMP whose low halves fall in it.)
                    const std::uint64_t here = units_in_block(high0, high1, u >> 7) & ~beyond;
                    entry = _mm512_mask_blend_epi8(here, entry,
                                                   entries_of(columns + (std::size_t(u >> 7) << 7), low));
                    known |= here;
                    unknown &= ~here;
                    new_block = true;
                    ++brought;
                }
            }
        }
        __m512i column = _mm512_mask_blend_epi8(
            known, _mm512_set1_epi8(char(V::EXIT)),
            _mm512_and_si512(entry, _mm512_set1_epi8(char(LetterColumns::COLUMN_MASK))));
        // LB9: a mark stands as its base, the nearest unit before it that is
        // no mark, found by jumping over runs of up to sixteen marks; with
        // none in the step, as the column of marks, for which the pairs know
        // no row.
        const __m512i lanes = _mm512_loadu_si512(BYTE_INDEX);
        const __mmask64 marks = _mm512_cmpeq_epi8_mask(column, _mm512_set1_epi8(char(PairRules::ASCII.mark_column)));
        __m512i base = _mm512_mask_sub_epi8(lanes, marks & ~std::uint64_t(1), lanes, _mm512_set1_epi8(1));
        {
            // As many jumps as the longest run needs: a run of up to 2^k
            // marks resolves in k.
            const std::uint64_t m = marks & ~std::uint64_t(1);
            const std::uint64_t two = m & (m << 1), four = two & (two << 2);
            if (two != 0) {
                base = jump(base);
                if ((two & (m << 2)) != 0) {
                    base = jump(base);
                    if ((four & (m << 4)) != 0) {
                        base = jump(base);
                        if ((four & (four << 4) & (m << 8)) != 0) base = jump(base);
                    }
                }
            }
        }
        const __m512i own = _mm512_maskz_permutexvar_epi8(~std::uint64_t(0), base, column);
        // Each base's pair: its column and the one that stands before it.
        __m512i previous =
            _mm512_mask_permutexvar_epi8(_mm512_set1_epi8(char(V::EXIT)), ~std::uint64_t(1), low_index, own);
        if (first) {
            // Entering, the unit before the base of the unit before the first
            // stands as a column after which, with that base, row is the one
            // row that can follow: its own, or another (a mark's, whose base
            // the step does not see, as a letter's).
            alignas(64) std::uint8_t bases[64], owns[64], previous_of[64];
            _mm512_store_si512(bases, base);
            _mm512_store_si512(owns, own);
            _mm512_store_si512(previous_of, previous);
            const unsigned b = bases[1], y = owns[1];
            unsigned x = previous_of[b];
            for (unsigned k = 0; VECTOR_PAIRS.row_after[x][y] != row; x = k++)
                if (k == V::EXIT) return {at, offset, row, 0, false};
            previous = _mm512_mask_blend_epi8(std::uint64_t(1) << b, previous, _mm512_set1_epi8(char(x)));
        }
        previous = _mm512_maskz_permutexvar_epi8(~std::uint64_t(0), base, previous);
        const __m512i index =
            _mm512_or_si512(previous, _mm512_and_si512(_mm512_slli_epi16(own, 5), _mm512_set1_epi8(0x60)));
        __m512i pair = entries_of(VECTOR_PAIRS.group[4], index);
        for (int k = 3; k >= 0; --k)
            pair = _mm512_mask_blend_epi8(_mm512_cmplt_epu8_mask(own, _mm512_set1_epi8(char(4 * k + 4))), pair,
                                          entries_of(VECTOR_PAIRS.group[k], index));
        // The decision before each unit, by the group of the two before it.
        const __m512i group = _mm512_maskz_permutexvar_epi8(~std::uint64_t(1), low_index, pair);
        const __mmask64 part0 = _mm512_cmplt_epu8_mask(column, _mm512_set1_epi8(8));
        const __mmask64 part1 = _mm512_cmplt_epu8_mask(column, _mm512_set1_epi8(16));
        const __m512i bit =
            _mm512_maskz_permutexvar_epi8(~std::uint64_t(0), column, _mm512_loadu_si512(VECTOR_PAIRS.bit));
        const std::uint64_t stop = pair_decisions(VECTOR_PAIRS.stop, group, bit, part0, part1) & DECIDED;
        const std::uint64_t allowed = pair_decisions(VECTOR_PAIRS.allowed, group, bit, part0, part1);
        const std::uint64_t one_row = _mm512_movepi8_mask(pair);
        if (stop != 0) {
            // A unit of a block not read, and of a column (the step brought
            // four in already), brings its block in for the next try.
            const unsigned p = unsigned(std::countr_zero(stop));
            if (BLOCKS != 0 && !((known >> p) & 1) && d[i - 2 + p] < 0x10000 &&
                (LETTER_COLUMNS.of[d[i - 2 + p]] & LetterColumns::COLUMN_MASK) != V::EXIT) {
                blocks.take(d[i - 2 + p], in);
                new_block = true;
            }
        }
        // A whole step ends after the last unit that, like the unit before
        // it, is no mark (in the second half of the step): the next step
        // then sees the base of each unit it decides and the base before
        // that one. Without such a pair, it ends after the last unit.
        const std::uint64_t plain = ~std::uint64_t(marks) & ~(std::uint64_t(marks) << 1) & (~std::uint64_t(0) << 32);
        const unsigned cut = plain != 0 ? 63u - unsigned(std::countl_zero(plain)) : 63u;
        const std::uint64_t to_cut = cut == 63 ? ~std::uint64_t(0) : (std::uint64_t(2) << cut) - 1;
        // The last unit before the first stop that a single row follows.
        const std::uint64_t below = stop == 0 ? DECIDED : (stop - 1) & ~stop & DECIDED;
        const std::uint64_t ends = below & one_row & to_cut;
        if (ends == 0) break;
        const unsigned last = 63u - unsigned(std::countl_zero(ends));
        const std::uint64_t through = last == 63 ? DECIDED : ((std::uint64_t(2) << last) - 1) & DECIDED;
        const std::uint64_t breaks = allowed & through;
        // The offsets of the breaks, packed in order, widened eight at a
        // time and paired with their action.
        const __m512i packed = _mm512_maskz_compress_epi8(breaks, before);
        const __m128i low_packed = low_lane(packed);
        const std::size_t from = off - byte_at(before, 2);
        const __m512i start = _mm512_set1_epi64(std::int64_t(from));
        const unsigned count = unsigned(std::popcount(breaks));
        auto* const out = reinterpret_cast<__m512i*>(slots + put);
        // Sixteen at once, so that the common count takes no branch.
        write_breaks(out, _mm512_maskz_cvtepu8_epi64(0xFF, low_packed), start);
        write_breaks(out + 2, _mm512_maskz_cvtepu8_epi64(0xFF, _mm_unpackhi_epi64(low_packed, low_packed)),
                     start);
        for (unsigned k = 16; k < count; k += 8) {
            const __m512i eight = _mm512_maskz_permutexvar_epi64(0xFF, _mm512_set1_epi64(k / 8), packed);
            write_breaks(out + k / 4, _mm512_maskz_cvtepu8_epi64(0xFF, low_lane(eight)), start);
        }
        put += count;
        // The bytes through the last unit decided.
        const __m512i through_last = _mm512_add_epi8(before, bytes);
        off = from + byte_at(through_last, last);
        first = false;
        if (last < cut) {
            i += last - 1;
            end_previous = previous;
            end_own = own;
            end_at = last;
            break;
        }
        end_previous = previous;
        end_own = own;
        end_at = cut;
        // A whole step: where the next one starts comes from the marks
        // alone, so its units do not wait for this one's decisions.
        i += cut - 1;
        // Blocks no longer met are given up, for the steps of two blocks to go
        // on; with more in use, the steps of four go on.
        if constexpr (BLOCKS > 2) {
            if (blocks.idle(in, 16)) break;
        } else if (BLOCKS != 0 && blocks.used > BLOCKS) {
            break;
        }
    }
    if (!first) {
        // The row after the last unit decided, by its pair.
        alignas(64) std::uint8_t pair_of[2][64];
        _mm512_store_si512(pair_of[0], end_previous);
        _mm512_store_si512(pair_of[1], end_own);
        row = VECTOR_PAIRS.row_after[pair_of[0][end_at]][pair_of[1][end_at]];
    }
    // After the tries that look each unit up, the blocks read are those
    // brought in last.
    if constexpr (BLOCKS == 0)
        blocks.gathering -= std::min(blocks.gathering, std::max<std::size_t>(i - at, 62));
    else if (brought >= 2 && brought >= steps)
        blocks.gathering = GATHER_UNITS;
    return {i, off, row, put, new_block};
}

// The steps read as many blocks as are in use: two, or all four.
template <typename Unit>
[[SCRIVLET_VBMI_TARGET]] VectorRun line_steps_vector(const Unit* d, std::size_t n, std::size_t at,
                                                     std::size_t offset, unsigned row, Opportunity* slots,
                                                     std::size_t room, LineBlocks& blocks) noexcept {
    static_assert(LineBlocks::COUNT == 4);
    if (blocks.gathering != 0) return steps_reading<0>(d, n, at, offset, row, slots, room, blocks);
    if (blocks.used <= 2) return steps_reading<2>(d, n, at, offset, row, slots, room, blocks);
    return steps_reading<4>(d, n, at, offset, row, slots, room, blocks);
}
#endif
constexpr EmojiColumns EMOJI_COLUMNS = build_emoji_columns();
constexpr PairRules::EmojiTable PairRules::EMOJI = PairRules::build_emoji_table();

// The states reached from a letter by steps over ASCII, and for each state
// and pair of ASCII columns the two steps' actions and the state after both.
constexpr AsciiPairTable build_ascii_pairs(const PairRules::AsciiTable& t) {
    using P = AsciiPairTable;
    constexpr unsigned COLUMNS = PairRules::ASCII_COLUMNS;
    P p;
    // The columns of ASCII come first, then HL's.
    const unsigned ascii = t.hl_column;
    if (ascii >= P::WIDTH || PairRules::ASCII_STATES > std::size(p.state_of_row))
        throw "the pair table is too narrow";
    for (unsigned u = 0; u < 128; ++u) p.column[u] = std::uint8_t(t.column[u] < ascii ? t.column[u] : P::WIDTH - 1);
    for (auto& s : p.state_of_row) s = P::NONE;
    p.row_of[0] = t.letter_row;
    p.state_of_row[t.letter_row / COLUMNS] = 0;
    p.states = 1;
    for (unsigned k = 0; k < p.states; ++k) {
        for (unsigned column = 0; column < ascii; ++column) {
            const auto& step = t.steps[p.row_of[k] + column];
            if (step.ask == PairRules::ASKS || p.state_of_row[step.next / COLUMNS] != P::NONE) continue;
            if (p.states == P::MAX_STATES) throw "the pair table has too many states";
            p.state_of_row[step.next / COLUMNS] = std::uint16_t(p.states * P::STRIDE);
            p.row_of[p.states++] = step.next;
        }
    }
    for (unsigned k = 0; k < p.states; ++k) {
        for (unsigned c0 = 0; c0 < P::WIDTH; ++c0) {
            for (unsigned c1 = 0; c1 < P::WIDTH; ++c1) {
                P::Step& pair = p.steps[k * P::STRIDE + c0 * P::WIDTH + c1];
                pair = {P::NONE, A::Prohibited, A::Prohibited, 0, 0, {}};
                if (c0 >= ascii || c1 >= ascii) continue;
                const auto& first = t.steps[p.row_of[k] + c0];
                // A digit ahead is the second unit's to tell.
                if (first.ask && !(first.ask == PairRules::DIGIT_AHEAD && t.class_of[c1] != C::NU)) continue;
                const auto& second = t.steps[first.next + c1];
                if (second.ask) continue;
                const bool first_kept = first.action != A::Prohibited;
                const unsigned kept = unsigned(first_kept) + unsigned(second.action != A::Prohibited);
                pair = {p.state_of_row[second.next / COLUMNS], first_kept ? first.action : second.action,
                        second.action, std::uint8_t(first_kept ? 0 : 1), std::uint8_t(kept), {}};
            }
        }
    }
    return p;
}

constexpr AsciiPairTable ASCII_PAIRS = build_ascii_pairs(PairRules::ASCII);

// After a letter, a letter or a mark is Prohibited and leaves the state as it
// was: a stretch of them (see Reader::stretch_end) is passed with no step.
// The same for Hebrew letters and marks after a Hebrew letter.
constexpr bool row_holds(unsigned row, C letter) {
    const auto& t = PairRules::ASCII;
    for (unsigned k = 0; k < PairRules::ASCII_EXIT; ++k) {
        if (t.class_of[k] != letter && t.class_of[k] != C::CM) continue;
        const auto& step = t.steps[row + k];
        if (step.ask || step.action != A::Prohibited || step.next != row) return false;
    }
    return true;
}
static_assert(row_holds(PairRules::ASCII.letter_row, C::AL) && row_holds(PairRules::ASCII.hl_row, C::HL),
              "letters and marks after a letter leave the table's state");

// From the state after a letter, a space or a ZW takes no break (LB7) and a
// letter of the same class after it an allowed one (LB18, LB8), and leaves
// the state as it was before the gap: the stretches go on over single gaps.
constexpr bool words_return_to_their_row(unsigned row, unsigned gap_column, unsigned letter_column) {
    const auto& t = PairRules::ASCII;
    const auto& gap = t.steps[row + gap_column];
    if (gap.ask || gap.action != A::Prohibited) return false;
    const auto& letter = t.steps[gap.next + letter_column];
    return !letter.ask && letter.action == A::Allowed && letter.next == row;
}
constexpr bool words_return_to_their_row(unsigned row, unsigned letter_column) {
    const auto& t = PairRules::ASCII;
    return words_return_to_their_row(row, t.column[' '], letter_column) &&
           words_return_to_their_row(row, t.zw_column, letter_column);
}
static_assert(PairRules::ASCII.class_of[PairRules::ASCII.column['a']] == C::AL &&
                  PairRules::ASCII.class_of[PairRules::ASCII.column[' ']] == C::SP &&
                  PairRules::ASCII.class_of[PairRules::ASCII.zw_column] == C::ZW &&
                  words_return_to_their_row(PairRules::ASCII.letter_row, PairRules::ASCII.column['a']) &&
                  words_return_to_their_row(PairRules::ASCII.hl_row, PairRules::ASCII.hl_column),
              "a space or a ZW and a letter after a letter lead back to the state after a letter");

// The vector steps of a stretch (stretch_chunks_avx2) pass a hyphen between
// two letters as they pass a space: no break before it (LB21), an allowed
// one after it (LB31), and back to the state after a letter.
static_assert(words_return_to_their_row(PairRules::ASCII.letter_row, PairRules::ASCII.column['-'],
                                        PairRules::ASCII.column['a']),
              "a hyphen and a letter after a letter lead back to the state after a letter");

static_assert(data::line_break_class(U'"') == C::QU && !data::is_initial_quote(U'"') &&
                  !data::is_final_quote(U'"') && PairRules::quotes_hold(),
              "after a quote every base of the lane is held");
static_assert(PairRules::breaking_pairs_break(),
              "ID, H2 and H3 are bases of the lane, and LB31 breaks between any two of them");
static_assert(PairRules::held_in_runs(),
              "within a run of ID, H2 and H3, NS and CL are held, and the break after them allowed");
static_assert(PairRules::spaced_runs_break(),
              "a run, a space, and ID, H2 or H3: the space held, the break after it allowed");
static_assert(PairRules::letters_never_break(),
              "(AL | HL) × (AL | HL) (LB28) whatever the LB25 look-back");

}  // namespace

namespace {

// Decides the pair before every code point but the first, left to right, and
// hands each decision to emit(offset, action). Offset 0 (LB2) and the end of
// the text (LB3) are the caller's. Returns the text's length in UTF-8 bytes.
template <typename Units, typename Emit>
std::size_t decide_pairs(Units text, Emit&& emit) {
    // A window of three code points slides over the text: prev, cur and the one
    // after cur, which some rules look at.
    Reader<Units> reader(text);
    Char window[3];
    Char* p = &window[0];
    Char* c = &window[1];
    Char* nx = &window[2];
    if (reader.done()) return 0;
    reader.next(*p, *nx);
    if (reader.done()) return reader.offset();
    reader.next(*c, *p);
    PairRules rules(reader.look_ahead(), *p);
    for (;;) {
        // LB28: AL × AL. Inside a run of ASCII letters no rule has more to say;
        // the skipped pairs keep their Prohibited (nothing is emitted for them).
        if (Reader<Units>::is_ascii_letter(p->cp) && Reader<Units>::is_ascii_letter(c->cp)) {
            if (reader.skip_letters(*p, *c)) rules.after_letters();
        } else if (stretch_like(*p) && stretch_like(*c) && reader.skip_stretch(*p, *c)) {
            // LB28 and LB9 the same way over letters and marks of any script.
            rules.after_letters();
        }
        // The lane takes over after a pair that it would have decided itself:
        // two bases of LANE, a mark on such a base (LB9), or a space and a
        // base of LANE that LB18 allows.
        const bool c_in_lane = in(c->cls, LANE) && c->cp != DOTTED_CIRCLE;
        if (p->quick_prev && c_in_lane) {
            emit(c->offset, rules.lane_pair(p->eff, c->eff));
            if (!reader.lane(rules, *p, *c, emit)) break;
            continue;
        }
        if (p->quick_prev && c->cls == C::CM && in(c->eff, LANE) && c->base_cp != DOTTED_CIRCLE) {
            rules.lane_mark(c->eff);  // LB9: nothing emitted for the Prohibited pair
            if (!reader.lane(rules, *p, *c, emit)) break;
            continue;
        }
        if (p->cls == C::SP && c_in_lane && rules.lane_after_space(c->cls)) {
            emit(c->offset, A::Allowed);  // LB18
            if (!reader.lane(rules, *p, *c, emit)) break;
            continue;
        }
        const bool last = reader.done();
        if (!last) reader.next(*nx, *c);
        emit(c->offset, rules.decide(*p, *c, last ? nullptr : nx));
        if (last) break;
        Char* const old = p;
        p = c;
        c = nx;
        nx = old;
    }
    return reader.offset();
}

// The opportunities as they are found, handed to a sink a batch at a time.
// Every decision is written and only the kept ones move the count, so that
// the scan has no branch on the action. The buffer is the caller's own array,
// apart from the batch, so that the count stays in a register.
class Batch {
public:
    static constexpr std::size_t SIZE = 256;
    // A long text's batches, from the heap: the scan runs longer between the
    // sink's turns, whose objects evict its tables from the caches.
    static constexpr std::size_t LONG_SIZE = 2048, LONG_FROM = 16384;  // units

    Batch(OpportunitySink& sink, Opportunity (&buffer)[SIZE]) noexcept : Batch(sink, buffer, SIZE) {}
    Batch(OpportunitySink& sink, Opportunity* buffer, std::size_t size) noexcept
        : sink_(sink), buf_(buffer), size_(size) {}
    Batch(const Batch&) = delete;
    Batch& operator=(const Batch&) = delete;

    [[gnu::always_inline]] void put_if(std::uint64_t offset, BreakAction action, bool keep) {
        buf_[count_].first = offset;
        buf_[count_].second = action;
        count_ += keep;
        if (count_ == size_) [[unlikely]]
            flush();
    }
    void put(std::uint64_t offset, BreakAction action) { put_if(offset, action, true); }
    // For a scan that writes straight into the buffer with its own count in
    // a register (TableOut): where the next decision goes, the room left
    // (never none), and how many the scan kept.
    Opportunity* free_slots() noexcept { return buf_ + count_; }
    std::size_t room() const noexcept { return size_ - count_; }
    void commit(std::size_t kept) {
        count_ += kept;
        if (count_ == size_) flush();
    }
    // Hands on what is buffered; the scan calls it once at its end.
    void flush() {
        if (count_ > 0) sink_.take(buf_, count_);
        count_ = 0;
        ++flushes_;
    }
    // What is buffered, and how many times it was handed on: the decisions put
    // since a point are still buffered if no flush came in between.
    const Opportunity* buffered() const noexcept { return buf_; }
    std::size_t size() const noexcept { return count_; }
    std::size_t flushes() const noexcept { return flushes_; }

private:
    OpportunitySink& sink_;
    Opportunity* buf_;
    std::size_t size_;
    std::size_t count_ = 0;
    std::size_t flushes_ = 0;
};

class VectorSink final : public OpportunitySink {
public:
    void take(const Opportunity* ops, std::size_t count) override {
        out.insert(out.end(), ops, ops + count);
    }
    std::vector<Opportunity> out;
};

// The decisions of the table's steps, handed to emit one by one.
template <typename Emit>
class TableOut {
public:
    explicit TableOut(Emit& emit) : emit_(emit) {}
    [[gnu::always_inline]] void put(std::size_t offset, BreakAction action) { emit_(offset, action); }
    // The decisions of two units at offset and offset + 1, as AsciiPairTable
    // holds them.
    [[gnu::always_inline]] void put_pair(std::size_t offset, BreakAction first, unsigned first_at,
                                         BreakAction second, unsigned kept) {
        if (kept != 0) emit_(offset + first_at, first);
        if (kept == 2) emit_(offset + 1, second);
    }
    void done() {}
    // Room for a scan that writes the decisions itself (see Reader::stretch_end),
    // where they go, and how many it wrote.
    void make_room(std::size_t = STRETCH_ROOM) {}
    Opportunity* free_slots() { return spare_; }
    std::size_t room() const { return std::size(spare_); }
    void took(std::size_t count) {
        for (std::size_t k = 0; k < count; ++k) emit_(spare_[k].first, spare_[k].second);
    }

private:
    Emit& emit_;
    Opportunity spare_[64];
#if SCRIVLET_VECTOR_UNITS
    static_assert(sizeof(spare_) / sizeof(Opportunity) >= VECTOR_ROOM, "room for a vector step");
#endif
};

// Where emit is a batch's, the table's steps write straight into its buffer
// with their own count, which stays in a register: through the batch each
// decision's count would wait on the store of the last one's, a few cycles a
// unit. done() hands the count back before anything else is emitted.
template <typename Emit>
    requires requires(Emit e) { e.batch; }
class TableOut<Emit> {
public:
    explicit TableOut(Emit& emit) : batch_(emit.batch) { refill(); }
    [[gnu::always_inline]] void put(std::size_t offset, BreakAction action) {
        *next_ = {offset, action};
        next_ += action != A::Prohibited;
        if (next_ == end_) [[unlikely]] {
            batch_.commit(std::size_t(next_ - slots_));
            refill();
        }
    }
    // Both slots are written, kept or not, and the cursor moved once, with
    // no check of the room: the caller leaves two slots free at least.
    [[gnu::always_inline]] void put_pair(std::size_t offset, BreakAction first, unsigned first_at,
                                         BreakAction second, unsigned kept) {
        next_[0] = {offset + first_at, first};
        next_[1] = {offset + 1, second};
        next_ += kept;
    }
    void done() { batch_.commit(std::size_t(next_ - slots_)); }
    // At least need slots, the batch handed on early if need be.
    void make_room(std::size_t need = STRETCH_ROOM) {
        if (std::size_t(end_ - next_) >= need) return;
        batch_.commit(std::size_t(next_ - slots_));
        if (batch_.room() < need) batch_.flush();
        refill();
    }
    Opportunity* free_slots() const { return next_; }
    std::size_t room() const { return std::size_t(end_ - next_); }
    void took(std::size_t count) {
        next_ += count;
        if (next_ == end_) [[unlikely]] {
            batch_.commit(std::size_t(next_ - slots_));
            refill();
        }
    }

private:
    void refill() {
        slots_ = next_ = batch_.free_slots();
        end_ = slots_ + batch_.room();
    }
    Batch& batch_;
    // The batch's free slots, from slots_ to end_; the next is next_.
    Opportunity *slots_, *next_, *end_;
};

// What decide_pairs hands its decisions to: a batch, which its steps write
// straight into (TableOut).
struct BatchEmit {
    Batch& batch;
    // Inlined at every decision of the lane: a call each would cost more than the store.
    [[gnu::always_inline]] void operator()(std::size_t offset, BreakAction action) const {
        batch.put_if(offset, action, action != A::Prohibited);
    }
};

// Hands each batch on to take(ops, count).
template <typename Take>
class ForwardingSink final : public OpportunitySink {
public:
    explicit ForwardingSink(Take& take) noexcept : take_(take) {}
    void take(const Opportunity* ops, std::size_t count) override { take_(ops, count); }

private:
    Take& take_;
};

template <typename Units>
void opportunities(Units text, OpportunitySink& sink) {
    Opportunity buffer[Batch::SIZE];
    // (Where the heap has no room for it, the batches stay small.)
    const std::unique_ptr<Opportunity[]> long_buffer(
        text.size() >= Batch::LONG_FROM ? new (std::nothrow) Opportunity[Batch::LONG_SIZE] : nullptr);
    Batch out = long_buffer ? Batch(sink, long_buffer.get(), Batch::LONG_SIZE) : Batch(sink, buffer);
    const std::size_t utf8_size = decide_pairs(text, BatchEmit{out});
    out.put(utf8_size, A::Mandatory);  // LB3 (the empty text included)
    out.flush();
}

// Every letter of a run is AL to the pair rules and none is read by code point
// (a quote, U+25CC, East Asian): between two such letters the decisions of the
// pair rules depend on the text between them alone.
constexpr bool run_letters_are_plain_letters() {
    for (char32_t cp = 0x0E00; cp < 0x1A00; ++cp)
        if (classify_run_member(cp) && !data::is_sa_mark(cp) &&
            (data::line_break_class(cp) != C::AL || cp == DOTTED_CIRCLE))
            return false;
    for (char32_t cp = 0xAA60; cp < 0xAA80; ++cp)
        if (classify_run_member(cp) && !data::is_sa_mark(cp) &&
            (data::line_break_class(cp) != C::AL || cp == DOTTED_CIRCLE))
            return false;
    return true;
}
static_assert(run_letters_are_plain_letters(), "every letter of a run stands as AL");

// The decisions of the pair rules in the text between two runs, when the run
// before holds a letter and the run after begins with one: the same text
// between two letters, marks on the first or not, is decided the same way
// (run_letters_are_plain_letters), and real text repeats what stands between
// its words (" ។ ", " {0} ", two ZWSPs), so that a repeat is read back instead
// of starting the rules afresh. A cache of fixed size, replaced by hash,
// used from the WARM_UP + 1st such gap on (a short text pays nothing for it);
// longer gaps are not kept.
class GapMemo {
public:
    static constexpr std::size_t MAX_UNITS = 12, WARM_UP = 8;
    struct Entry {
        std::uint8_t count;
        // A gap holding a code point above U+FFFF is not kept.
        char16_t units[MAX_UNITS];
        // Offsets from the gap's start, and what was decided there.
        std::uint8_t offsets[MAX_UNITS + 1];
        BreakAction actions[MAX_UNITS + 1];
    };

    // The decisions kept for the gap of units [begin, end) of the text, null
    // if none.
    template <typename Units>
    const Entry* find(Units text, std::size_t begin, std::size_t end) {
        if (seen_ <= WARM_UP) [[unlikely]] {
            if (seen_++ < WARM_UP) return nullptr;
            // Real text holds a few hundred distinct gaps: too many for the
            // stack, a fixed size on the heap, made once the text shows some.
            table_.reset(new Table);
            std::memset(table_->lengths, 0, sizeof table_->lengths);
        }
        const std::size_t length = end - begin;
        if (length == 0 || length > MAX_UNITS) return nullptr;
        const std::size_t slot = slot_of(text, begin, end);
        if (table_->lengths[slot] != length) return nullptr;
        const Entry& e = table_->entries[slot];
        for (std::size_t k = 0; k < length; ++k)
            if (e.units[k] != text.unit(begin + k)) return nullptr;
        return &e;
    }

    // Keeps the count decisions ops (at UTF-8 offsets) of the gap of units
    // [begin, end), which starts at gap_offset, in place of what its entry held.
    // A gap too long to keep, or empty (two runs side by side), which a length
    // of 0 cannot tell from a free entry, is not kept.
    template <typename Units>
    void keep(Units text, std::size_t begin, std::size_t end, const Opportunity* ops,
              std::size_t count, std::uint64_t gap_offset) {
        const std::size_t length = end - begin;
        if (seen_ <= WARM_UP || length == 0 || length > MAX_UNITS || count > MAX_UNITS + 1) return;
        for (std::size_t k = 0; k < length; ++k)
            if (text.unit(begin + k) > 0xFFFF) return;
        const std::size_t slot = slot_of(text, begin, end);
        Entry& e = table_->entries[slot];
        table_->lengths[slot] = std::uint8_t(length);
        for (std::size_t k = 0; k < length; ++k) e.units[k] = char16_t(text.unit(begin + k));
        e.count = std::uint8_t(count);
        for (std::size_t k = 0; k < count; ++k) {
            e.offsets[k] = std::uint8_t(ops[k].first - gap_offset);
            e.actions[k] = ops[k].second;
        }
    }

private:
    // Direct-mapped: 1,024 entries keep the gaps of real text apart (256 lost
    // a third of their hits to collisions).
    static constexpr std::size_t SLOTS = 1024;
    struct Table {
        std::uint8_t lengths[SLOTS];  // in units, 0: empty
        Entry entries[SLOTS];
    };
    std::size_t seen_ = 0;  // gaps asked for, up to WARM_UP + 1
    std::unique_ptr<Table> table_;

    template <typename Units>
    static std::size_t slot_of(Units text, std::size_t begin, std::size_t end) {
        std::uint32_t h = std::uint32_t(end - begin) * 0x9E3779B1u;
        for (std::size_t i = begin; i < end; ++i) h = (h ^ text.unit(i)) * 0x01000193u;
        return (h >> 8) % SLOTS;
    }
};

// The pair decisions, except inside the runs of Thai, Lao, Khmer and Myanmar,
// where the words of the run's dictionary decide instead. Inside a run no pair
// can be Mandatory (its code points are none of BK, CR, LF and NL), so what
// the pair rules would say there is not asked for.
//
// The pair rules are run only between runs, each time from a letter of the
// run before (or the text's start) up to the first letter of the run after
// and the code point after the run's first. At a letter the rules stand as
// after any letter: what came before it is read only through a prev that is
// a quotation mark, a hyphen, a virama or a close bracket (LB15a, LB19a,
// LB20a, LB21a, LB28a, LB25), which neither the letter nor a mark on it is,
// and the pair after it (LB28, LB9) carries nothing of it further. And a
// look-ahead of the rules (LB25 over SP, LB28a over marks) stops at the next
// run's first letter.
// The text between two runs is most often one space or one ZWSP after a run
// that holds a letter (so its last code point stands as a letter): LB7
// prohibits the pair before it, and LB18 or LB8 allows the one after it, with
// no rule asked. A run of marks only after anything else ends the shortcut:
// the rules then run to the end of the text, the runs cut as the decisions
// pass them.
template <typename Units>
void opportunities_with_dictionary(Units text, OpportunitySink& sink) {
    Opportunity buffer[Batch::SIZE];
    Batch out(sink, buffer);
    const RunFinder<Units> finder(text);
    // The next run not yet cut, if have_run.
    Run run;
    bool have_run = finder.find(0, 0, run);
    std::size_t from = 0, from_offset = 0;  // where the pair rules may start
    std::uint64_t decided = 0;              // every offset up to this one is decided
    auto cut = [&](const Run& r) {
        segment_run_into(dictionary_for(r.lang), text, r,
                         [&](std::uint64_t at) { out.put(at, A::Allowed); });
        decided = r.end_offset - 1;
    };
    // The batch of every pair scan below, made once a call: an array of
    // opportunities is zeroed when it is made.
    Opportunity pair_buffer[Batch::SIZE];
    // The last run cut that holds a letter: its last letter, found only when a
    // pair scan is about to start, becomes `from`.
    Run latest;
    bool have_latest = false;
    constexpr std::size_t CODE_POINT = Units::FIXED ? 1 : 3;  // a run member, in units
    // The pair decisions after `decided` and up to limit, from `from` to unit end.
    auto decide = [&](std::size_t end, std::uint64_t limit) {
        if (have_latest) {
            from = last_letter(text, latest);
            from_offset = latest.start_offset + (from - latest.start) / CODE_POINT * 3;
            have_latest = false;
        }
        auto take = [&](const Opportunity* ops, std::size_t count) {
            if (limit != std::uint64_t(-1)) {
                // Between two runs: what lies after the last run cut and up to
                // the next run's start, which no decision here passes.
                const std::uint64_t above = decided + 1, span = limit - decided;
                for (std::size_t k = 0; k < count; ++k) {
                    const std::uint64_t offset = ops[k].first + from_offset;
                    out.put_if(offset, ops[k].second, offset - above < span);
                }
                return;
            }
            for (std::size_t k = 0; k < count; ++k) {
                const std::uint64_t offset = ops[k].first + from_offset;
                if (offset <= decided) continue;
                while (have_run && run.end_offset <= offset) {
                    cut(run);
                    have_run = finder.find(run.end, run.end_offset, run);
                }
                if (have_run && offset > run.start_offset && offset < run.end_offset) continue;
                out.put(offset, ops[k].second);
            }
        };
        // The scan writes to a batch of its own, as it does without the
        // dictionaries, so that its steps and its stretches of letters keep
        // their pace; only what it keeps is then sorted out, in order.
        ForwardingSink<decltype(take)> forward(take);
        Batch pairs(forward, pair_buffer);
        const std::size_t size = decide_pairs(slice(text, from, end), BatchEmit{pairs});
        pairs.flush();
        return from_offset + size;
    };
    GapMemo memo;
    bool after_letter = false;  // the last run cut holds a letter
    std::size_t last_end = 0;
    while (have_run) {
        // Not a copy: a whole-record load right after find's stores waits for
        // them. Nothing below moves run on before the next find, since the
        // pair decisions asked for stop at this run's start.
        const Run& r = run;
        const std::size_t first = first_letter(text, r);
        const bool has_letter = first != r.end;
        std::size_t len;
        const char32_t gap = text.decode(last_end, len);
        // One branch for the four tests: real text puts a space before some
        // runs and a ZWSP before others, in no order a predictor can learn.
        if (after_letter & (last_end + len == r.start) & ((gap == ' ') | (gap == 0x200B))) {
            out.put(r.start_offset, A::Allowed);  // LB18 after SP, LB8 after ZW
        } else if (has_letter && after_letter && first == r.start) {
            // Between two letters: the gap's decisions are read back if the
            // same text was decided before. A hit leaves `from` as it is,
            // since this run becomes the latest.
            const std::uint64_t gap_offset = decided + 1;
            if (const GapMemo::Entry* e = memo.find(text, last_end, r.start)) {
                for (std::size_t k = 0; k < e->count; ++k)
                    out.put(gap_offset + e->offsets[k], e->actions[k]);
            } else {
                // Kept from the batch, unless it was handed on meanwhile.
                const std::size_t put = out.size(), flushes = out.flushes();
                decide(r.start + 2 * CODE_POINT, r.start_offset);
                if (out.flushes() == flushes)
                    memo.keep(text, last_end, r.start, out.buffered() + put, out.size() - put,
                              gap_offset);
            }
        } else if (has_letter) {
            decide(std::max(r.start + 2 * CODE_POINT, first + CODE_POINT), r.start_offset);
        } else {
            break;
        }
        cut(r);
        after_letter = has_letter;
        last_end = r.end;
        if (has_letter) {
            latest = r;
            have_latest = true;
        }
        have_run = finder.find(r.end, r.end_offset, run);
    }
    const std::size_t utf8_size = decide(text.size(), std::uint64_t(-1));
    while (have_run) {
        cut(run);
        have_run = finder.find(run.end, run.end_offset, run);
    }
    out.put(utf8_size, A::Mandatory);  // LB3
    out.flush();
}

// Whether a UCS-2 or UCS-4 text holds a code point that may open a run,
// eight units at a time.
template <typename Unit>
bool may_have_run(text::Fixed<Unit> text) {
    std::size_t i = 0;
    for (; i + 8 <= text.size; i += 8) {
        bool any = false;
        for (std::size_t k = 0; k < 8; ++k) any |= may_open_run(text.data[i + k]);
        if (any) return true;
    }
    for (; i < text.size; ++i)
        if (may_open_run(text.data[i])) return true;
    return false;
}

}  // namespace

std::vector<BreakAction> line_break_actions(std::string_view text) {
    std::vector<BreakAction> actions(text.size() + 1, A::Prohibited);
    actions[text.size()] = A::Mandatory;  // LB3; offset 0 stays Prohibited (LB2)
    decide_pairs(Utf8Units(text),
                 [&](std::size_t offset, BreakAction action) { actions[offset] = action; });
    return actions;
}

std::vector<BreakAction> dictionary_line_break_actions(std::string_view text) {
    std::vector<BreakAction> actions(text.size() + 1, A::Prohibited);
    for (const auto& [offset, action] : line_break_opportunities_with_dictionary(text))
        actions[offset] = action;
    return actions;
}

std::vector<Opportunity> opportunities_from_actions(const std::vector<BreakAction>& actions) {
    std::vector<Opportunity> out;
    const std::size_t n = actions.size();
    const auto* a = reinterpret_cast<const unsigned char*>(actions.data());
    constexpr std::uint64_t ALL_PROHIBITED =
        0x0101010101010101ULL * static_cast<unsigned char>(A::Prohibited);
    std::size_t i = 0;
    while (i < n) {
        if (i + 8 <= n) {  // most offsets are Prohibited: pass them eight at a time
            std::uint64_t w;
            std::memcpy(&w, a + i, 8);
            if (w == ALL_PROHIBITED) {
                i += 8;
                continue;
            }
        }
        if (actions[i] != A::Prohibited) out.emplace_back(i, actions[i]);
        ++i;
    }
    return out;
}

void line_break_opportunities(std::string_view text, OpportunitySink& sink) {
    opportunities(Utf8Units(text), sink);
}

template <typename Unit>
void line_break_opportunities(text::Fixed<Unit> text, OpportunitySink& sink) {
    opportunities(FixedUnits<Unit>(text), sink);
}

void line_break_opportunities_with_dictionary(std::string_view text, OpportunitySink& sink) {
    // Thai, Lao, Khmer and Myanmar (U+0E01..U+19FF, U+AA60..U+AA7F) are all
    // three-byte sequences led by E0, E1 or EA: without those bytes there is
    // no run, and the plain result is the answer.
    bool may_have_run = false;
    for (unsigned char b : text) may_have_run |= b == 0xE0 || b == 0xE1 || b == 0xEA;
    if (!may_have_run) return line_break_opportunities(text, sink);
    opportunities_with_dictionary(Utf8Units(text), sink);
}

template <typename Unit>
void line_break_opportunities_with_dictionary(text::Fixed<Unit> text, OpportunitySink& sink) {
    // Latin-1 holds no run at all.
    if constexpr (sizeof(Unit) == 1) {
        line_break_opportunities(text, sink);
    } else {
        if (!may_have_run(text)) return line_break_opportunities(text, sink);
        opportunities_with_dictionary(FixedUnits<Unit>(text), sink);
    }
}

namespace {

// The opportunities that fill(sink) hands on, gathered in a vector.
template <typename Fill>
std::vector<Opportunity> gathered(Fill fill) {
    VectorSink sink;
    fill(sink);
    return std::move(sink.out);
}

}  // namespace

std::vector<Opportunity> line_break_opportunities(std::string_view text) {
    return gathered([&](OpportunitySink& sink) { line_break_opportunities(text, sink); });
}

template <typename Unit>
std::vector<Opportunity> line_break_opportunities(text::Fixed<Unit> text) {
    return gathered([&](OpportunitySink& sink) { line_break_opportunities(text, sink); });
}

std::vector<Opportunity> line_break_opportunities_with_dictionary(std::string_view text) {
    return gathered([&](OpportunitySink& sink) { line_break_opportunities_with_dictionary(text, sink); });
}

template <typename Unit>
std::vector<Opportunity> line_break_opportunities_with_dictionary(text::Fixed<Unit> text) {
    return gathered([&](OpportunitySink& sink) { line_break_opportunities_with_dictionary(text, sink); });
}

template std::vector<Opportunity> line_break_opportunities(text::Latin1);
template std::vector<Opportunity> line_break_opportunities(text::Ucs2);
template std::vector<Opportunity> line_break_opportunities(text::Ucs4);
template std::vector<Opportunity> line_break_opportunities_with_dictionary(text::Latin1);
template std::vector<Opportunity> line_break_opportunities_with_dictionary(text::Ucs2);
template std::vector<Opportunity> line_break_opportunities_with_dictionary(text::Ucs4);
template void line_break_opportunities(text::Latin1, OpportunitySink&);
template void line_break_opportunities(text::Ucs2, OpportunitySink&);
template void line_break_opportunities(text::Ucs4, OpportunitySink&);
template void line_break_opportunities_with_dictionary(text::Latin1, OpportunitySink&);
template void line_break_opportunities_with_dictionary(text::Ucs2, OpportunitySink&);
template void line_break_opportunities_with_dictionary(text::Ucs4, OpportunitySink&);

void allow_avx2_stretches([[maybe_unused]] bool allow) noexcept {
#if SCRIVLET_STRETCH_AVX2
    use_avx2.store(allow && HAS_AVX2, std::memory_order_relaxed);
#endif
}

void allow_vector_steps([[maybe_unused]] bool allow) noexcept {
#if SCRIVLET_VECTOR_UNITS
    use_vector_steps.store(allow && HAS_VBMI, std::memory_order_relaxed);
#endif
}

}  // namespace scrivlet::linebreak
