#include "mod.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <vector>

#include "../data/normalization.h"
#include "../utf8.h"

namespace scrivlet::normalize {

namespace {

using Output = utf8::Writer;

namespace np = data::norm_props;

// One bit per code point of the first two planes (the second holds the
// emoji): settled in the form (class 0, quick check Yes and a boundary), so
// that a run of them is passed over with one load each.
constexpr char32_t SETTLED_LIMIT = 0x20000;
using SettledBits = std::array<std::uint64_t, SETTLED_LIMIT / 64>;

template <std::uint32_t QuickCheckYes, std::uint32_t Boundary>
constexpr SettledBits settled_bits() {
    SettledBits bits{};
    for (char32_t c = 0; c < SETTLED_LIMIT; ++c) {
        const std::uint32_t props = data::normalization_props(c);
        if ((props & QuickCheckYes) && (props & Boundary) && !(props & np::CCC_MASK))
            bits[c >> 6] |= std::uint64_t(1) << (c & 63);
    }
    return bits;
}

constexpr SettledBits NFD_SETTLED = settled_bits<np::NFD_QC_YES, np::NFD_BOUNDARY>();
constexpr SettledBits NFKD_SETTLED = settled_bits<np::NFKD_QC_YES, np::NFKD_BOUNDARY>();
constexpr SettledBits NFC_SETTLED = settled_bits<np::NFC_QC_YES, np::NFC_BOUNDARY>();
constexpr SettledBits NFKC_SETTLED = settled_bits<np::NFKC_QC_YES, np::NFKC_BOUNDARY>();

struct Form {
    bool compatibility;
    bool composed;
    std::uint32_t quick_check_yes;  // np::*_QC_YES
    std::uint32_t boundary;         // np::*_BOUNDARY
    char32_t safe_below;            // class 0, quick check Yes and a boundary below this
    const SettledBits* settled;
};

constexpr Form NFD{false, false, np::NFD_QC_YES, np::NFD_BOUNDARY, data::NFD_QUICK_CHECK_SAFE_BELOW, &NFD_SETTLED};
constexpr Form NFKD{true, false, np::NFKD_QC_YES, np::NFKD_BOUNDARY, data::NFKD_QUICK_CHECK_SAFE_BELOW,
                    &NFKD_SETTLED};
constexpr Form NFC{false, true, np::NFC_QC_YES, np::NFC_BOUNDARY, data::NFC_QUICK_CHECK_SAFE_BELOW, &NFC_SETTLED};
constexpr Form NFKC{true, true, np::NFKC_QC_YES, np::NFKC_BOUNDARY, data::NFKC_QUICK_CHECK_SAFE_BELOW,
                    &NFKC_SETTLED};

constexpr std::uint8_t class_of(std::uint32_t props) noexcept {
    return static_cast<std::uint8_t>(props & np::CCC_MASK);
}

// A decomposed code point with what ordering and composition ask about it,
// so that neither looks it up again: bits 0-20 the code point, 21-28 its
// combining class, 29 whether it can be the second of a composition.
using Packed = std::uint32_t;
constexpr Packed CODE_POINT_BITS = 0x1FFFFF;
constexpr unsigned CLASS_SHIFT = 21;
constexpr Packed COMPOSES_BACKWARD_BIT = 1u << 29;

inline char32_t code_point_of(Packed p) noexcept { return p & CODE_POINT_BITS; }
constexpr std::uint8_t class_of_packed(Packed p) noexcept {
    return static_cast<std::uint8_t>(p >> CLASS_SHIFT);
}

// The decomposed code points of a chunk, with a note of whether canonical
// ordering has anything to do.
struct Decomposed {
    std::vector<Packed> cps;
    std::uint8_t last_class = 0;
    bool misordered = false;

    void clear() noexcept {
        cps.clear();
        last_class = 0;
        misordered = false;
    }
    void push(char32_t cp, std::uint32_t props) {
        const std::uint8_t cc = class_of(props);
        if (cc != 0 && cc < last_class) misordered = true;
        last_class = cc;
        cps.push_back(cp | (Packed(cc) << CLASS_SHIFT) |
                      ((props & np::COMPOSES_BACKWARD) ? COMPOSES_BACKWARD_BIT : 0));
    }
    void push_packed(const Packed* parts, std::size_t n) {
        for (std::size_t k = 0; k < n; ++k) {
            const std::uint8_t cc = class_of_packed(parts[k]);
            if (cc != 0 && cc < last_class) misordered = true;
            last_class = cc;
            cps.push_back(parts[k]);
        }
    }
};

constexpr Packed pack(char32_t cp, std::uint32_t props) noexcept {
    return cp | (Packed(class_of(props)) << CLASS_SHIFT) | ((props & np::COMPOSES_BACKWARD) ? COMPOSES_BACKWARD_BIT : 0);
}

// Full decompositions, expanded at build time from the single-level tables,
// so that a code point decomposes in one lookup into parts already packed.
// Three tables: the canonical mappings expanded canonically or with the
// compatibility mappings too (a part may have one: U+1E9B), and the
// compatibility mappings.
struct FullEntry {
    std::uint16_t offset;
    std::uint8_t length;
};

constexpr std::size_t expand(char32_t cp, bool compatibility, Packed* out) {
    const std::uint32_t props = data::normalization_props(cp);
    const std::uint32_t wanted = np::HAS_CANONICAL | (compatibility ? np::HAS_COMPATIBILITY : 0);
    if (!(props & wanted)) {
        if (out) *out = pack(cp, props);
        return 1;
    }
    if (data::is_hangul_syllable(cp)) {
        char32_t parts[3] = {};
        const std::size_t n = data::hangul_decompose(cp, parts);
        for (std::size_t k = 0; k < n && out; ++k) out[k] = pack(parts[k], data::normalization_props(parts[k]));
        return n;
    }
    const bool canonical = props & np::HAS_CANONICAL;
    const data::DecompositionEntry& e = canonical ? data::CANONICAL_DECOMPOSITION[props >> np::ENTRY_SHIFT]
                                                  : data::COMPATIBILITY_DECOMPOSITION[props >> np::ENTRY_SHIFT];
    const char32_t* pool = canonical ? data::CANONICAL_DECOMPOSITION_POOL : data::COMPATIBILITY_DECOMPOSITION_POOL;
    std::size_t n = 0;
    for (std::size_t k = 0; k < e.length; ++k) n += expand(pool[e.offset + k], compatibility, out ? out + n : nullptr);
    return n;
}

template <const auto& Entries, const auto& Pool>
constexpr std::size_t full_pool_size(bool compatibility) {
    std::size_t n = 0;
    for (const data::DecompositionEntry& e : Entries)
        for (std::size_t k = 0; k < e.length; ++k) n += expand(Pool[e.offset + k], compatibility, nullptr);
    return n;
}

template <const auto& Entries, const auto& Pool, bool Compatibility, std::size_t Size>
constexpr std::array<Packed, Size> full_pool() {
    std::array<Packed, Size> out{};
    std::size_t n = 0;
    for (const data::DecompositionEntry& e : Entries)
        for (std::size_t k = 0; k < e.length; ++k) n += expand(Pool[e.offset + k], Compatibility, out.data() + n);
    return out;
}

template <const auto& Entries, const auto& Pool, bool Compatibility>
constexpr auto full_entries() {
    std::array<FullEntry, std::size(Entries)> out{};
    std::size_t n = 0;
    for (std::size_t i = 0; i < std::size(Entries); ++i) {
        const data::DecompositionEntry& e = Entries[i];
        std::size_t length = 0;
        for (std::size_t k = 0; k < e.length; ++k) length += expand(Pool[e.offset + k], Compatibility, nullptr);
        out[i] = {static_cast<std::uint16_t>(n), static_cast<std::uint8_t>(length)};
        n += length;
    }
    return out;
}

#define SCRIVLET_FULL_TABLE(NAME, ENTRIES, POOL, COMPAT)                                                       \
    constexpr std::size_t NAME##_SIZE = full_pool_size<data::ENTRIES, data::POOL>(COMPAT);                    \
    static_assert(NAME##_SIZE < 0x10000);                                                                     \
    constinit const std::array<Packed, NAME##_SIZE> NAME##_POOL = full_pool<data::ENTRIES, data::POOL, COMPAT, NAME##_SIZE>(); \
    constinit const auto NAME##_ENTRIES = full_entries<data::ENTRIES, data::POOL, COMPAT>();

SCRIVLET_FULL_TABLE(CANONICAL_FULL, CANONICAL_DECOMPOSITION, CANONICAL_DECOMPOSITION_POOL, false)
SCRIVLET_FULL_TABLE(CANONICAL_FULL_K, CANONICAL_DECOMPOSITION, CANONICAL_DECOMPOSITION_POOL, true)
SCRIVLET_FULL_TABLE(COMPATIBILITY_FULL, COMPATIBILITY_DECOMPOSITION, COMPATIBILITY_DECOMPOSITION_POOL, true)
#undef SCRIVLET_FULL_TABLE

struct Parts {
    const Packed* data;
    std::size_t size;
};

// The packed parts of a code point with a mapping of the kind wanted (Hangul
// syllables excepted).
inline Parts full_decomposition(std::uint32_t props, bool compatibility) noexcept {
    // a code point never has both kinds of mapping
    const std::size_t entry = props >> np::ENTRY_SHIFT;
    const FullEntry e = !(props & np::HAS_CANONICAL) ? COMPATIBILITY_FULL_ENTRIES[entry]
                        : compatibility             ? CANONICAL_FULL_K_ENTRIES[entry]
                                                    : CANONICAL_FULL_ENTRIES[entry];
    const Packed* pool = !(props & np::HAS_CANONICAL) ? COMPATIBILITY_FULL_POOL.data()
                         : compatibility             ? CANONICAL_FULL_K_POOL.data()
                                                     : CANONICAL_FULL_POOL.data();
    return {pool + e.offset, e.length};
}

// Appends the full decomposition of cp; Hangul syllables are decomposed
// arithmetically.
void decompose_into(char32_t cp, std::uint32_t props, bool compatibility, Decomposed& out) {
    const std::uint32_t wanted = np::HAS_CANONICAL | (compatibility ? np::HAS_COMPATIBILITY : 0);
    if (!(props & wanted)) {
        out.push(cp, props);
        return;
    }
    if (data::is_hangul_syllable(cp)) {
        char32_t parts[3];
        const std::size_t n = data::hangul_decompose(cp, parts);
        for (std::size_t k = 0; k < n; ++k) out.push(parts[k], data::normalization_props(parts[k]));
        return;
    }
    const Parts parts = full_decomposition(props, compatibility);
    out.push_packed(parts.data, parts.size);
}

void decompose_into(char32_t cp, bool compatibility, Decomposed& out) {
    decompose_into(cp, data::normalization_props(cp), compatibility, out);
}

// Canonical ordering (D109): within each maximal run of non-starters, a stable sort by
// combining class. This is the order the pairwise swapping of the canonical
// ordering algorithm reaches, without its quadratic cost on long runs.
void canonical_order(std::vector<Packed>& buf, std::vector<Packed>& scratch) {
    const std::size_t n = buf.size();
    std::size_t i = 0;
    while (i < n) {
        if (class_of_packed(buf[i]) == 0) {
            ++i;
            continue;
        }
        const std::size_t start = i;
        bool sorted = true;
        std::uint8_t last = 0;
        while (i < n) {
            const std::uint8_t cc = class_of_packed(buf[i]);
            if (cc == 0) break;
            if (cc < last) sorted = false;
            last = cc;
            ++i;
        }
        if (sorted) continue;
        const std::size_t len = i - start;
        Packed* run = buf.data() + start;
        if (len <= 16) {
            // insertion sort: stable, and cheapest on the short runs real text has
            for (std::size_t j = 1; j < len; ++j) {
                const Packed c = run[j];
                const std::uint8_t cc = class_of_packed(c);
                std::size_t k = j;
                while (k > 0 && class_of_packed(run[k - 1]) > cc) {
                    run[k] = run[k - 1];
                    --k;
                }
                run[k] = c;
            }
        } else {
            // counting sort on the class: stable and linear
            std::size_t start_of[257] = {};
            for (std::size_t j = 0; j < len; ++j) ++start_of[class_of_packed(run[j]) + 1];
            for (std::size_t c = 1; c < 257; ++c) start_of[c] += start_of[c - 1];
            scratch.resize(len);
            for (std::size_t j = 0; j < len; ++j)
                scratch[start_of[class_of_packed(run[j])]++] = run[j];
            std::memcpy(run, scratch.data(), len * sizeof(Packed));
        }
    }
}

// Canonical composition (D117), in place. A character composes with the last starter
// when nothing unconsumed lies between them, or when everything unconsumed
// between them has a lower, non-zero class (otherwise it is blocked).
void compose(std::vector<Packed>& buf) {
    constexpr std::size_t NONE = static_cast<std::size_t>(-1);
    std::size_t starter = NONE;  // output index of the last starter
    std::uint8_t last_class = 0;  // class of the last unconsumed character after it
    std::size_t out = 0;
    for (std::size_t i = 0; i < buf.size(); ++i) {
        const Packed c = buf[i];
        const std::uint8_t cc = class_of_packed(c);
        if (starter != NONE && (c & COMPOSES_BACKWARD_BIT) && (last_class == 0 || last_class < cc)) {
            // Hangul LV and LVT arithmetically, before the pair table
            const char32_t first = code_point_of(buf[starter]), second = code_point_of(c);
            char32_t composite = data::hangul_compose(first, second);
            if (composite == 0) composite = data::compose_pair(first, second);
            if (composite != 0) {
                buf[starter] = composite;  // a starter: class 0
                continue;
            }
        }
        if (cc == 0) {
            starter = out;
            last_class = 0;
        } else {
            // a non-starter that nothing absorbed; it never starts a composition
            last_class = cc;
        }
        buf[out++] = c;
    }
    buf.resize(out);
}

// Orders and (for the composed forms) composes the decomposed chunk.
void settle_chunk(const Form& form, Decomposed& buf, std::vector<Packed>& scratch) {
    if (buf.misordered) canonical_order(buf.cps, scratch);
    if (form.composed) compose(buf.cps);
}

// Settles the decomposed chunk and appends it as UTF-8.
void finish_chunk(const Form& form, Decomposed& buf, std::vector<Packed>& scratch, Output& out) {
    settle_chunk(form, buf, scratch);
    for (Packed c : buf.cps) {
        out.ensure(4);
        out.put_unchecked(code_point_of(c));
    }
}

inline bool all_ascii(const unsigned char* p) noexcept {
    std::uint64_t word;
    std::memcpy(&word, p, sizeof word);
    return (word & 0x8080808080808080ull) == 0;
}

// Copies through every stretch that the quick check shows to be normalized
// already, and runs decomposition, ordering and composition only on the
// chunks around the code points it flags. Chunks are cut at boundaries, where
// the text before normalizes independently of the text after, so the result
// is the one the whole-text algorithm gives.
std::string normalize(std::string_view text, const Form& form) {
    const auto* s = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t n = text.size();
    Output out;
    Decomposed buf;
    std::vector<Packed> scratch;
    std::size_t copied = 0;         // text before this offset is in out
    std::size_t last_boundary = 0;  // the latest boundary seen at or after `copied`
    std::uint8_t last_class = 0;
    std::size_t i = 0;
    while (i < n) {
        if (s[i] < 0x80) {
            // ASCII: class 0, unchanged by every form, a boundary in every form
            while (i + 8 <= n && all_ascii(s + i)) i += 8;
            while (i < n && s[i] < 0x80) ++i;
            last_boundary = i - 1;
            last_class = 0;
            continue;
        }
        std::size_t len;
        const char32_t c = utf8::decode(text, i, len);
        if (c < form.safe_below) {
            last_boundary = i;
            last_class = 0;
            i += len;
            continue;
        }
        if (data::is_hangul_syllable(c)) {
            // class 0 and a boundary in every form; unchanged by the composed forms
            if (!form.composed) {
                // L V (T) are starters: nothing after them can move before them,
                // so the syllable is written out here and the text after it is
                // cut from it
                if (!out.started()) out.start(n + n / 2);
                out.bytes(text.data() + copied, i - copied);
                char32_t parts[3];
                const std::size_t k = data::hangul_decompose(c, parts);
                out.ensure(9);
                for (std::size_t j = 0; j < k; ++j) out.put_unchecked(parts[j]);
                copied = last_boundary = i + len;
            } else {
                last_boundary = i;
            }
            last_class = 0;
            i += len;
            continue;
        }
        const std::uint32_t props = data::normalization_props(c);
        if (props & form.boundary) last_boundary = i;
        const std::uint8_t cc = class_of(props);
        if ((props & form.quick_check_yes) && (cc == 0 || last_class <= cc)) {
            last_class = cc;
            i += len;
            continue;
        }
        // Not known to be normalized: redo the chunk from the last boundary to
        // the next one, decoding each code point once more at most.
        buf.clear();
        for (utf8::Decoder d(text.substr(last_boundary, i - last_boundary)); !d.done();)
            decompose_into(d.next(), form.compatibility, buf);
        decompose_into(c, props, form.compatibility, buf);
        std::size_t end = i + len;
        while (end < n && s[end] >= 0x80) {
            std::size_t l;
            const char32_t next = utf8::decode(text, end, l);
            const std::uint32_t next_props = data::normalization_props(next);
            if (next_props & form.boundary) break;
            decompose_into(next, next_props, form.compatibility, buf);
            end += l;
        }
        if (!out.started()) out.start(n + n / 4);
        out.bytes(text.data() + copied, last_boundary - copied);
        finish_chunk(form, buf, scratch, out);
        copied = last_boundary = i = end;
        last_class = 0;
    }
    if (!out.started()) return std::string(text);
    out.bytes(text.data() + copied, n - copied);
    return out.finish();
}

}  // namespace

std::string normalize_nfc(std::string_view text) { return normalize(text, NFC); }
std::string normalize_nfd(std::string_view text) { return normalize(text, NFD); }
std::string normalize_nfkc(std::string_view text) { return normalize(text, NFKC); }
std::string normalize_nfkd(std::string_view text) { return normalize(text, NFKD); }

// ---------------------------------------------------------------------------
// Fixed-width text: the same quick check and chunks, by index. A chunk whose
// result equals the text it came from is left in place, so the writer starts
// only at the first real change, and a text that the form leaves as it is
// needs no output at all.

namespace {

// Where the quick check stands: the latest boundary, and the class of the
// code point before.
struct QuickCheck {
    std::size_t last_boundary;
    std::uint8_t last_class;
};

// The quick check from i on, up to the first code point that it does not
// pass (or n). Kept apart from the rest of the state, and with no branch but
// the one that ends it, so that it runs from registers at full speed on any
// mix of scripts, marks and ASCII (whose properties are the defaults).
template <typename Unit>
std::size_t quick_check(const Unit* p, std::size_t i, std::size_t n, const Form& form, QuickCheck& state) noexcept {
    std::size_t last_boundary = state.last_boundary;
    std::uint32_t last_class = state.last_class;
    const std::uint64_t* settled = form.settled->data();
    while (i < n) {
        // a run of settled code points, each a boundary of class 0
        std::size_t j = i;
        for (; j < n; ++j) {
            const char32_t c = p[j];
            if (c >= SETTLED_LIMIT) {
                const std::uint32_t props = data::normalization_props(c);
                if ((props & (form.quick_check_yes | form.boundary | np::CCC_MASK)) !=
                    (form.quick_check_yes | form.boundary))
                    break;
            } else if (!((settled[c >> 6] >> (c & 63)) & 1)) {
                break;
            }
        }
        if (j != i) {
            last_boundary = j - 1;
            last_class = 0;
            i = j;
            if (i == n) break;
        }
        // then one by its properties
        const std::uint32_t props = data::normalization_props(p[i]);
        const std::uint32_t cc = props & np::CCC_MASK;
        if (props & form.boundary) last_boundary = i;
        if ((!(props & form.quick_check_yes)) | ((cc != 0) & (last_class > cc))) break;
        last_class = cc;
        ++i;
    }
    state = {last_boundary, static_cast<std::uint8_t>(last_class)};
    return i;
}

template <typename Unit, typename Out>
bool normalize(text::Fixed<Unit> t, const Form& form, text::UnitWriter<Out>& out) {
    const Unit* p = t.data;
    const std::size_t n = t.size;
    Decomposed buf;
    std::vector<Packed> scratch;
    std::size_t copied = 0;         // text before this index is in out
    std::size_t last_boundary = 0;  // the latest boundary seen at or after `copied`
    std::uint8_t last_class = 0;
    const auto start = [&] {
        if (!out.started()) out.start(form.composed ? n : n + n / 4);
    };
    const std::uint32_t decomposes = np::HAS_CANONICAL | (form.compatibility ? np::HAS_COMPATIBILITY : 0);
    // One code point with its properties; returns the index to go on from.
    const auto visit = [&](std::size_t i, char32_t c, std::uint32_t props) -> std::size_t {
        if (c < form.safe_below) {
            last_boundary = i;
            last_class = 0;
            return i + 1;
        }
        if (data::is_hangul_syllable(c)) {
            // class 0 and a boundary in every form; unchanged by the composed forms
            last_class = 0;
            if (form.composed) {
                last_boundary = i;
                return i + 1;
            }
            // L V (T) are starters: nothing after them moves before them. The
            // syllables that follow are decomposed here too.
            start();
            out.copy(p + copied, i - copied);
            std::size_t j = i;
            for (; j < n && data::is_hangul_syllable(p[j]); ++j) {
                char32_t parts[3];
                const std::size_t k = data::hangul_decompose(p[j], parts);
                out.ensure(3);
                for (std::size_t m = 0; m < k; ++m) out.put_unchecked(parts[m]);
            }
            copied = last_boundary = j;
            return j;
        }
        if (props & form.boundary) last_boundary = i;
        const std::uint8_t cc = class_of(props);
        if ((props & form.quick_check_yes) && (cc == 0 || last_class <= cc)) {
            last_class = cc;
            return i + 1;
        }
        // The decomposed forms, where one code point decomposes into parts that
        // start with a starter and are in order, and the next code point starts
        // a chunk: nothing moves across either end, so the parts replace it as
        // they are (the code points before it passed the quick check).
        if (!form.composed && (props & decomposes)) {
            const Parts parts = full_decomposition(props, form.compatibility);
            const Packed* packed = parts.data;
            bool simple = class_of_packed(packed[0]) == 0;
            for (std::size_t k = 1; simple && k < parts.size; ++k) {
                const std::uint8_t cc = class_of_packed(packed[k]);
                simple = cc == 0 || cc >= class_of_packed(packed[k - 1]);
            }
            if (simple && (i + 1 == n || p[i + 1] < form.safe_below ||
                           (data::normalization_props(p[i + 1]) & form.boundary))) {
                start();
                out.copy(p + copied, i - copied);
                out.ensure(parts.size);
                for (std::size_t k = 0; k < parts.size; ++k) out.put_unchecked(code_point_of(packed[k]));
                copied = last_boundary = i + 1;
                last_class = 0;
                return i + 1;
            }
        }
        // Not known to be normalized: redo the chunk from the last boundary to the next one.
        buf.clear();
        for (std::size_t k = last_boundary; k < i; ++k) decompose_into(p[k], form.compatibility, buf);
        decompose_into(c, props, form.compatibility, buf);
        std::size_t end = i + 1;
        for (; end < n; ++end) {
            const char32_t next = p[end];
            if (next < form.safe_below) break;
            const std::uint32_t next_props = data::normalization_props(next);
            if (next_props & form.boundary) break;
            decompose_into(next, next_props, form.compatibility, buf);
        }
        settle_chunk(form, buf, scratch);
        const std::size_t length = end - last_boundary;
        bool same = buf.cps.size() == length;
        for (std::size_t k = 0; same && k < length; ++k) same = code_point_of(buf.cps[k]) == p[last_boundary + k];
        if (!same) {
            start();
            out.copy(p + copied, last_boundary - copied);
            out.ensure(buf.cps.size());
            for (Packed packed : buf.cps) out.put_unchecked(code_point_of(packed));
            copied = end;
        }
        last_boundary = end;
        last_class = 0;
        return end;
    };
    // Hangul syllables fail the decomposed forms' quick check, and are
    // decomposed by visit
    for (std::size_t i = 0; i < n;) {
        QuickCheck state{last_boundary, last_class};
        i = quick_check(p, i, n, form, state);
        last_boundary = state.last_boundary;
        last_class = state.last_class;
        if (i < n) i = visit(i, p[i], data::normalization_props(p[i]));
    }
    if (!out.started()) return false;
    out.copy(p + copied, n - copied);
    return true;
}

}  // namespace

template <typename Unit, typename Out>
bool normalize_nfc(text::Fixed<Unit> text, text::UnitWriter<Out>& out) {
    return normalize(text, NFC, out);
}
template <typename Unit, typename Out>
bool normalize_nfd(text::Fixed<Unit> text, text::UnitWriter<Out>& out) {
    return normalize(text, NFD, out);
}
template <typename Unit, typename Out>
bool normalize_nfkc(text::Fixed<Unit> text, text::UnitWriter<Out>& out) {
    return normalize(text, NFKC, out);
}
template <typename Unit, typename Out>
bool normalize_nfkd(text::Fixed<Unit> text, text::UnitWriter<Out>& out) {
    return normalize(text, NFKD, out);
}

// Each text form with its own units and every wider one (the binding writes
// into wider units when a code point needs them).
#define SCRIVLET_NORMALIZE_FORMS(Unit, Out)                                      \
    template bool normalize_nfc(text::Fixed<Unit>, text::UnitWriter<Out>&);  \
    template bool normalize_nfd(text::Fixed<Unit>, text::UnitWriter<Out>&);  \
    template bool normalize_nfkc(text::Fixed<Unit>, text::UnitWriter<Out>&); \
    template bool normalize_nfkd(text::Fixed<Unit>, text::UnitWriter<Out>&);

SCRIVLET_NORMALIZE_FORMS(std::uint8_t, std::uint8_t)
SCRIVLET_NORMALIZE_FORMS(std::uint8_t, char16_t)
SCRIVLET_NORMALIZE_FORMS(std::uint8_t, char32_t)
SCRIVLET_NORMALIZE_FORMS(char16_t, char16_t)
SCRIVLET_NORMALIZE_FORMS(char16_t, char32_t)
SCRIVLET_NORMALIZE_FORMS(char32_t, char32_t)
#undef SCRIVLET_NORMALIZE_FORMS

}  // namespace scrivlet::normalize
