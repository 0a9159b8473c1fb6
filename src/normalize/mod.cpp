#include "mod.h"

#include <cstdint>
#include <cstring>
#include <vector>

#include "../data/normalization.h"
#include "../utf8.h"

namespace scrivlet::normalize {

namespace {

namespace np = data::norm_props;

struct Form {
    bool compatibility;
    bool composed;
    std::uint32_t quick_check_yes;  // np::*_QC_YES
    std::uint32_t boundary;         // np::*_BOUNDARY
};

constexpr Form NFD{false, false, np::NFD_QC_YES, np::NFD_BOUNDARY};
constexpr Form NFKD{true, false, np::NFKD_QC_YES, np::NFKD_BOUNDARY};
constexpr Form NFC{false, true, np::NFC_QC_YES, np::NFC_BOUNDARY};
constexpr Form NFKC{true, true, np::NFKC_QC_YES, np::NFKC_BOUNDARY};

inline std::uint8_t class_of(std::uint32_t props) noexcept {
    return static_cast<std::uint8_t>(props & np::CCC_MASK);
}

// Appends the full decomposition of cp. The tables are single level, so each
// mapping is decomposed again; Hangul syllables are decomposed arithmetically.
void decompose_into(char32_t cp, bool compatibility, std::vector<char32_t>& out) {
    const std::uint32_t props = data::normalization_props(cp);
    const std::uint32_t wanted = np::HAS_CANONICAL | (compatibility ? np::HAS_COMPATIBILITY : 0);
    if (!(props & wanted)) {
        out.push_back(cp);
        return;
    }
    if (data::is_hangul_syllable(cp)) {
        char32_t parts[3];
        const std::size_t n = data::hangul_decompose(cp, parts);
        out.insert(out.end(), parts, parts + n);
        return;
    }
    const std::u32string_view mapping = compatibility ? data::compatibility_decomposition(cp)
                                                      : data::canonical_decomposition(cp);
    for (char32_t part : mapping) decompose_into(part, compatibility, out);
}

// Canonical ordering: within each maximal run of non-starters, a stable sort by
// combining class. This is the order the pairwise swapping of the canonical
// ordering algorithm reaches, without its quadratic cost on long runs.
void canonical_order(std::vector<char32_t>& buf, std::vector<char32_t>& scratch) {
    const std::size_t n = buf.size();
    std::size_t i = 0;
    while (i < n) {
        if (data::combining_class(buf[i]) == 0) {
            ++i;
            continue;
        }
        const std::size_t start = i;
        bool sorted = true;
        std::uint8_t last = 0;
        while (i < n) {
            const std::uint8_t cc = data::combining_class(buf[i]);
            if (cc == 0) break;
            if (cc < last) sorted = false;
            last = cc;
            ++i;
        }
        if (sorted) continue;
        const std::size_t len = i - start;
        char32_t* run = buf.data() + start;
        if (len <= 16) {
            // insertion sort: stable, and cheapest on the short runs real text has
            for (std::size_t j = 1; j < len; ++j) {
                const char32_t c = run[j];
                const std::uint8_t cc = data::combining_class(c);
                std::size_t k = j;
                while (k > 0 && data::combining_class(run[k - 1]) > cc) {
                    run[k] = run[k - 1];
                    --k;
                }
                run[k] = c;
            }
        } else {
            // counting sort on the class: stable and linear
            std::size_t start_of[257] = {};
            for (std::size_t j = 0; j < len; ++j) ++start_of[data::combining_class(run[j]) + 1];
            for (std::size_t c = 1; c < 257; ++c) start_of[c] += start_of[c - 1];
            scratch.resize(len);
            for (std::size_t j = 0; j < len; ++j)
                scratch[start_of[data::combining_class(run[j])]++] = run[j];
            std::memcpy(run, scratch.data(), len * sizeof(char32_t));
        }
    }
}

// Canonical composition, in place. A character composes with the last starter
// when nothing unconsumed lies between them, or when everything unconsumed
// between them has a lower, non-zero class (otherwise it is blocked).
void compose(std::vector<char32_t>& buf) {
    constexpr std::size_t NONE = static_cast<std::size_t>(-1);
    std::size_t starter = NONE;  // output index of the last starter
    std::uint8_t last_class = 0;  // class of the last unconsumed character after it
    std::size_t out = 0;
    for (std::size_t i = 0; i < buf.size(); ++i) {
        const char32_t c = buf[i];
        const std::uint32_t props = data::normalization_props(c);
        const std::uint8_t cc = class_of(props);
        if (starter != NONE && (props & np::COMPOSES_BACKWARD) && (last_class == 0 || last_class < cc)) {
            // Hangul LV and LVT arithmetically, before the pair table
            char32_t composite = data::hangul_compose(buf[starter], c);
            if (composite == 0) composite = data::compose_pair(buf[starter], c);
            if (composite != 0) {
                buf[starter] = composite;
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

// Normalizes a chunk that starts at a boundary and ends before one (or at the
// end of the text), appending the UTF-8 result.
void normalize_chunk(std::string_view chunk, const Form& form, std::vector<char32_t>& buf,
                     std::vector<char32_t>& scratch, std::string& out) {
    buf.clear();
    for (utf8::Decoder d(chunk); !d.done();) decompose_into(d.next(), form.compatibility, buf);
    if (buf.size() > 1) canonical_order(buf, scratch);
    if (form.composed) compose(buf);
    for (char32_t c : buf) utf8::append(out, c);
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
    std::string out;
    std::vector<char32_t> buf, scratch;
    std::size_t copied = 0;         // text before this offset is in out
    std::size_t last_boundary = 0;  // the latest boundary seen at or after `copied`
    std::uint8_t last_class = 0;
    std::size_t i = 0;
    bool changed = false;
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
        const std::uint32_t props = data::normalization_props(c);
        if (props & form.boundary) last_boundary = i;
        const std::uint8_t cc = class_of(props);
        if ((props & form.quick_check_yes) && (cc == 0 || last_class <= cc)) {
            last_class = cc;
            i += len;
            continue;
        }
        // Not known to be normalized: redo the chunk from the last boundary to the next.
        std::size_t end = i + len;
        while (end < n) {
            if (s[end] < 0x80) break;
            std::size_t l;
            if (data::normalization_props(utf8::decode(text, end, l)) & form.boundary) break;
            end += l;
        }
        if (!changed) {
            out.reserve(n + n / 4 + 16);
            changed = true;
        }
        out.append(text.data() + copied, last_boundary - copied);
        normalize_chunk(text.substr(last_boundary, end - last_boundary), form, buf, scratch, out);
        copied = last_boundary = i = end;
        last_class = 0;
    }
    if (!changed) return std::string(text);
    out.append(text.data() + copied, n - copied);
    return out;
}

}  // namespace

std::string normalize_nfc(std::string_view text) { return normalize(text, NFC); }
std::string normalize_nfd(std::string_view text) { return normalize(text, NFD); }
std::string normalize_nfkc(std::string_view text) { return normalize(text, NFKC); }
std::string normalize_nfkd(std::string_view text) { return normalize(text, NFKD); }

}  // namespace scrivlet::normalize
