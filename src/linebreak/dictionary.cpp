#include "dictionary.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <mutex>
#include <random>

#include "../data/line_break.h"
#include "../error.h"
#include "../segment/grapheme.h"
#include "../utf8.h"
#include "mod.h"

// Defined by wordlists.S: the four lists back to back, and per language
// (Thai, Lao, Khmer, Myanmar) the offset and length of its list.
extern "C" const char scrivlet_wordlists[];
extern "C" const std::uint64_t scrivlet_wordlist_index[8];

namespace scrivlet::linebreak {

namespace {

constexpr std::size_t LANGUAGE_COUNT = 4;

std::size_t language_index(DictionaryLanguage lang) noexcept {
    auto v = static_cast<std::size_t>(lang);
    return v < LANGUAGE_COUNT ? v : 0;
}

// The hash of a byte string is folded one code point at a time (a lead byte
// and the continuation bytes after it), so the state after a code point is
// the state of that prefix: the longest-match scan hashes all its candidates
// in one pass.
inline std::uint64_t hash_code_point(std::uint64_t state, const char* bytes,
                                     std::size_t n) noexcept {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes);
    do {
        std::size_t m = n < 8 ? n : 8;  // only malformed text has longer pieces
        std::uint64_t v = 0;
        for (std::size_t i = 0; i < m; ++i) v = (v << 8) | p[i];
        state = (state ^ v) * 0x9E3779B97F4A7C15ULL;
        state = (state << 27) | (state >> 37);
        p += m;
        n -= m;
    } while (n > 0);
    return state;
}

// Spreads the state over the bits that pick a slot and a tag.
inline std::uint64_t hash_finish(std::uint64_t x) noexcept {
    x ^= x >> 31;
    x *= 0xD6E8FEB86659FD93ULL;
    return x ^ (x >> 32);
}

std::uint64_t random_seed() noexcept {
    std::uint64_t seed = 0x243F6A8885A308D3ULL;
    try {
        std::random_device device;
        seed ^= (std::uint64_t(device()) << 32) ^ device();
    } catch (...) {
        // No entropy source: the clock and an address still vary between runs.
        seed ^= std::uint64_t(std::chrono::steady_clock::now().time_since_epoch().count());
        seed ^= reinterpret_cast<std::uintptr_t>(&seed);
    }
    return seed;
}

// White_Space: U+0009..U+000D, U+0020, U+0085, U+00A0, U+1680, U+2000..U+200A,
// U+2028, U+2029, U+202F, U+205F, U+3000.
bool is_white_space(char32_t cp) noexcept {
    if (cp <= 0x20) return cp == 0x20 || (cp >= 0x09 && cp <= 0x0D);
    if (cp < 0x85) return false;
    return cp == 0x85 || cp == 0xA0 || cp == 0x1680 || (cp >= 0x2000 && cp <= 0x200A) ||
           cp == 0x2028 || cp == 0x2029 || cp == 0x202F || cp == 0x205F || cp == 0x3000;
}

// Calls fn(offset, length) for every word of a list, in list order.
template <typename Fn>
void for_each_word(std::string_view list, Fn&& fn) {
    std::size_t start = 0;
    while (start < list.size()) {
        std::size_t lf = list.find('\n', start);
        std::size_t end = lf == std::string_view::npos ? list.size() : lf;
        std::size_t next = lf == std::string_view::npos ? list.size() : lf + 1;
        if (end > start && list[end - 1] == '\r') --end;
        std::string_view line = list.substr(start, end - start);
        std::size_t first = 0, last = line.size();
        while (first < last) {
            std::size_t len;
            if (!is_white_space(utf8::decode(line, first, len))) break;
            first += len;
        }
        while (last > first) {
            std::size_t begin = utf8::floor_to_code_point(line, last - 1);
            std::size_t len;
            if (!is_white_space(utf8::decode(line, begin, len))) break;
            last = begin;
        }
        if (last > first) fn(start + first, last - first);
        start = next;
    }
}

// Byte equality for the short slices of a word list, eight bytes at a time
// (a library memcmp call costs more than the comparison itself here).
inline bool same_bytes(const char* a, const char* b, std::size_t n) noexcept {
    for (; n >= 8; a += 8, b += 8, n -= 8) {
        std::uint64_t x, y;
        std::memcpy(&x, a, 8);
        std::memcpy(&y, b, 8);
        if (x != y) return false;
    }
    for (; n > 0; ++a, ++b, --n)
        if (*a != *b) return false;
    return true;
}

inline bool ends_on_boundary(std::string_view text, std::size_t len) noexcept {
    return len == text.size() || !utf8::is_continuation(static_cast<unsigned char>(text[len]));
}

// The end of the code point that starts at pos: the next byte that is not a
// continuation byte, or the end of text.
inline std::size_t next_boundary(std::string_view text, std::size_t pos) noexcept {
    ++pos;
    while (pos < text.size() && utf8::is_continuation(static_cast<unsigned char>(text[pos]))) ++pos;
    return pos;
}

// The shortest prefix length of word that may not be an entry yet, given that
// every boundary prefix of previous is one: prefixes shorter than the bytes the
// two words share are, and so is the shared part itself if it ends a code point
// in previous. The whole word always counts, to mark it as a word.
std::size_t first_new_prefix(std::string_view word, std::string_view previous) noexcept {
    std::size_t common = 0;
    std::size_t limit = std::min(word.size(), previous.size());
    while (common + 8 <= limit) {
        std::uint64_t x, y;
        std::memcpy(&x, word.data() + common, 8);
        std::memcpy(&y, previous.data() + common, 8);
        if (x != y) break;
        common += 8;
    }
    while (common < limit && word[common] == previous[common]) ++common;
    std::size_t first = common > 0 && ends_on_boundary(previous, common) ? common + 1 : common;
    return std::min(std::max<std::size_t>(first, 1), word.size());
}

struct Registry {
    std::once_flag once[LANGUAGE_COUNT];
    // Built once and kept for the life of the process, never destroyed.
    const WordDictionary* dictionaries[LANGUAGE_COUNT] = {};
    std::atomic<std::uint32_t> loads[LANGUAGE_COUNT] = {};
};

Registry& registry() noexcept {
    static Registry r;
    return r;
}

}  // namespace

// A slot of the open-addressing table: a slice of the list, or empty (len 0).
struct WordDictionary::Slot {
    std::uint32_t offset;
    std::uint16_t len;
    std::uint8_t tag;  // eight more bits of the hash, checked before the bytes
    std::uint8_t is_word;
};

std::string_view embedded_word_list(DictionaryLanguage lang) noexcept {
    std::size_t i = language_index(lang);
    return {scrivlet_wordlists + scrivlet_wordlist_index[2 * i],
            static_cast<std::size_t>(scrivlet_wordlist_index[2 * i + 1])};
}

WordDictionary::WordDictionary(std::string_view list) : list_(list), seed_(random_seed()) {
    if (list.size() > UINT32_MAX) throw InvariantError("word list larger than 4 GiB");

    // First pass: split the list into words and count the entries (each word
    // and each of its prefixes that ends on a code point boundary), less the
    // prefixes the previous word already gave: for a sorted list, every repeat.
    struct Word {
        std::uint32_t offset;
        std::uint16_t len;
        std::uint16_t first;  // the shortest prefix that is not in yet
    };
    std::vector<Word> words;
    words.reserve(list.size() / 16);
    std::size_t entries = 0;
    std::string_view previous;
    for_each_word(list, [&](std::size_t offset, std::size_t len) {
        if (len > UINT16_MAX) throw InvariantError("word list line longer than 65535 bytes");
        std::string_view word = list.substr(offset, len);
        std::size_t first = first_new_prefix(word, previous);
        for (std::size_t k = first; k <= len; ++k)
            if (ends_on_boundary(word, k)) ++entries;
        words.push_back({static_cast<std::uint32_t>(offset), static_cast<std::uint16_t>(len),
                         static_cast<std::uint16_t>(first)});
        max_word_bytes_ = std::max<std::uint64_t>(max_word_bytes_, len);
        previous = word;
    });

    std::size_t capacity = 16;
    while (capacity * 7 < entries * 10) capacity *= 2;  // load factor at most 0.7
    slots_ = std::make_unique<Slot[]>(capacity);
    mask_ = capacity - 1;

    // Second pass: hash each word once from its first byte and insert its new
    // entries. They are queued and their slots prefetched a block ahead.
    struct Pending {
        std::uint64_t hash;
        std::uint32_t offset;
        std::uint16_t len;
        bool is_word;
    };
    constexpr std::size_t BLOCK = 64;
    Pending pending[BLOCK + 128];  // a block plus one word's worth of code points
    std::size_t queued = 0;
    auto flush = [&] {
        for (std::size_t i = 0; i < queued; ++i)
            insert(pending[i].hash, pending[i].offset, pending[i].len, pending[i].is_word);
        queued = 0;
    };
    for (const Word& w : words) {
        std::string_view word = list.substr(w.offset, w.len);
        std::uint64_t state = seed_;
        for (std::size_t k = 0, end; k < w.len; k = end) {
            end = next_boundary(word, k);
            state = hash_code_point(state, word.data() + k, end - k);
            if (end < w.first) continue;
            if (queued == std::size(pending)) flush();  // only for very long lines
            std::uint64_t h = hash_finish(state);
#if defined(__GNUC__) || defined(__clang__)
            __builtin_prefetch(&slots_[h & mask_], 1);
#endif
            pending[queued++] = {h, w.offset, static_cast<std::uint16_t>(end), end == w.len};
        }
        if (queued >= BLOCK) flush();
    }
    flush();
}

WordDictionary::~WordDictionary() = default;

std::size_t WordDictionary::memory_bytes() const noexcept {
    return sizeof(*this) + (mask_ + 1) * sizeof(Slot);
}

const WordDictionary::Slot* WordDictionary::find(std::uint64_t state, const char* bytes,
                                                 std::size_t len) const noexcept {
    return find_finished(hash_finish(state), bytes, len);
}

const WordDictionary::Slot* WordDictionary::find_finished(std::uint64_t h, const char* bytes,
                                                          std::size_t len) const noexcept {
    auto tag = static_cast<std::uint8_t>(h >> 56);
    for (std::size_t i = h & mask_;; i = (i + 1) & mask_) {
        const Slot& s = slots_[i];
        if (s.len == 0) return nullptr;
        if (s.len == len && s.tag == tag && same_bytes(list_.data() + s.offset, bytes, len))
            return &s;
    }
}

void WordDictionary::insert(std::uint64_t hash, std::size_t offset, std::size_t len,
                            bool is_word) {
    auto tag = static_cast<std::uint8_t>(hash >> 56);
    const char* bytes = list_.data() + offset;
    for (std::size_t i = hash & mask_;; i = (i + 1) & mask_) {
        Slot& s = slots_[i];
        if (s.len == 0) {
            s = Slot{static_cast<std::uint32_t>(offset), static_cast<std::uint16_t>(len), tag,
                     static_cast<std::uint8_t>(is_word)};
            if (is_word) ++word_count_;
            return;
        }
        if (s.len == len && s.tag == tag && same_bytes(list_.data() + s.offset, bytes, len)) {
            if (is_word && !s.is_word) {
                s.is_word = 1;
                ++word_count_;
            }
            return;
        }
    }
}

bool WordDictionary::contains(std::string_view word) const noexcept {
    if (word.empty() || word.size() > max_word_bytes_) return false;
    std::uint64_t state = seed_;
    for (std::size_t k = 0, end; k < word.size(); k = end) {
        end = next_boundary(word, k);
        state = hash_code_point(state, word.data() + k, end - k);
    }
    const Slot* s = find(state, word.data(), word.size());
    return s != nullptr && s->is_word;
}

std::size_t WordDictionary::longest_word_at(std::string_view text) const noexcept {
    return longest_word_at(text, [](std::size_t) { return true; });
}

template <typename Accept>
std::size_t WordDictionary::longest_word_at(std::string_view text, Accept&& accept) const noexcept {
    // Equivalent to trying every boundary length from max_word_bytes down to 1
    // and taking the first listed one: once the bytes read so far begin no
    // listed word, no longer candidate can be listed either.
    //
    // The candidates' hashes depend on the text alone, so a batch of them is
    // hashed and their slots fetched together; the probes that follow then
    // wait for about one cache miss instead of one per code point.
    constexpr std::size_t BATCH = 8;
    std::uint64_t hashes[BATCH];
    std::size_t lengths[BATCH];
    const std::size_t limit = std::min<std::size_t>(max_word_bytes_, text.size());
    std::size_t best = 0;
    std::uint64_t state = seed_;
    std::size_t k = 0;
    while (k < limit) {
        std::size_t count = 0;
        while (k < limit && count < BATCH) {
            std::size_t end = next_boundary(text, k);
            if (end > limit) break;  // longer than any listed word
            state = hash_code_point(state, text.data() + k, end - k);
            k = end;
            hashes[count] = hash_finish(state);
            lengths[count] = k;
#if defined(__GNUC__) || defined(__clang__)
            __builtin_prefetch(&slots_[hashes[count] & mask_]);
#endif
            ++count;
        }
        for (std::size_t c = 0; c < count; ++c) {
            const Slot* s = find_finished(hashes[c], text.data(), lengths[c]);
            if (s == nullptr) return best;
            if (s->is_word && accept(lengths[c])) best = lengths[c];
        }
        if (count < BATCH) break;  // the next code point ends beyond the limit
    }
    return best;
}

const WordDictionary& dictionary_for(DictionaryLanguage lang) {
    std::size_t i = language_index(lang);
    Registry& r = registry();
    std::call_once(r.once[i], [&] {
        auto list = embedded_word_list(static_cast<DictionaryLanguage>(i));
        r.dictionaries[i] = new WordDictionary(list);
        r.loads[i].fetch_add(1, std::memory_order_relaxed);
    });
    return *r.dictionaries[i];
}

std::uint32_t dictionary_load_count(DictionaryLanguage lang) noexcept {
    return registry().loads[language_index(lang)].load(std::memory_order_relaxed);
}

std::optional<DictionaryLanguage> script_of(char32_t cp) noexcept {
    // Tested in the order Thai, Lao, Myanmar, Khmer.
    if ((cp >= 0x0E01 && cp <= 0x0E3A) || (cp >= 0x0E40 && cp <= 0x0E4E) ||
        (cp >= 0x0E50 && cp <= 0x0E5B))
        return DictionaryLanguage::Thai;
    if (cp >= 0x0E81 && cp <= 0x0EDF) return DictionaryLanguage::Lao;
    if ((cp >= 0x1000 && cp <= 0x109F) || (cp >= 0xAA60 && cp <= 0xAA7F))
        return DictionaryLanguage::Myanmar;
    if ((cp >= 0x1780 && cp <= 0x17FF) || (cp >= 0x19E0 && cp <= 0x19FF))
        return DictionaryLanguage::Khmer;
    return std::nullopt;
}

namespace {

// The cluster boundaries inside one run, decided where they are asked for,
// locally from the code points around them. They are the boundaries of the
// whole text, which inside a run are those of the run's own text except where
// the run begins with a virama or coeng whose cluster began before the run:
// the text's decide there, so that no break ever falls inside its clusters.
// A pair of regional indicators, which no run holds, would need the whole
// stretch of them: that case falls back to one scan of the run.
class RunClusters {
public:
    RunClusters(std::string_view text, std::size_t start, std::size_t end,
                std::vector<std::uint8_t>& scanned)
        : text_(text), start_(start), size_(end - start), scanned_(scanned) {}

    bool ends_at(std::size_t k) {
        if (k >= size_) return true;
        if (scanned_ready_) return scanned_[k] != 0;
        if (auto starts = segment::local_cluster_start(text_, start_ + k)) return *starts;
        scanned_.assign(size_ + 1, 0);
        segment::mark_cluster_starts(text_.substr(start_, size_), scanned_.data());
        scanned_ready_ = true;
        return scanned_[k] != 0;
    }

private:
    std::string_view text_;
    std::size_t start_, size_;
    std::vector<std::uint8_t>& scanned_;
    bool scanned_ready_ = false;
};

// Appends to out (as byte offsets into text) the word ends inside the run
// text[start, end). The unit is the grapheme cluster: a word is taken only
// where it ends on a cluster boundary, and text that matches no word is
// stepped over one cluster at a time, so no break ever separates a letter
// from its marks.
void segment_into(const WordDictionary& dict, std::string_view text, std::size_t start,
                  std::size_t end, std::vector<std::uint64_t>& out,
                  std::vector<std::uint8_t>& scratch) {
    RunClusters clusters(text, start, end, scratch);
    const std::string_view run = text.substr(start, end - start);
    std::size_t pos = 0;
    while (pos < run.size()) {
        std::size_t len = dict.longest_word_at(run.substr(pos), [&](std::size_t k) {
            return clusters.ends_at(pos + k);
        });
        if (len == 0) {
            // No listed word ends on a boundary here: step over one cluster.
            len = utf8::sequence_length(static_cast<unsigned char>(run[pos]));
            while (!clusters.ends_at(pos + len))
                len += utf8::sequence_length(static_cast<unsigned char>(run[pos + len]));
        }
        pos += len;
        if (pos >= run.size()) break;
        out.push_back(start + pos);
    }
}

}  // namespace

std::vector<std::uint64_t> segment_run(std::string_view run, DictionaryLanguage lang) {
    std::vector<std::uint64_t> out;
    if (run.empty()) return out;
    std::vector<std::uint8_t> scratch;
    segment_into(dictionary_for(lang), run, 0, run.size(), out, scratch);
    return out;
}

namespace {

// The dictionary language of a code point that starts or continues a run:
// raw class SA and a script with a word list. script_of goes first, being a
// few comparisons where the class is a table look-up.
std::optional<DictionaryLanguage> run_language(char32_t cp) noexcept {
    auto lang = script_of(cp);
    if (lang && data::raw_line_break_class(cp) != data::LineBreakClass::SA) return std::nullopt;
    return lang;
}

constexpr char32_t ZWNJ = 0x200C;
constexpr char32_t ZWJ = 0x200D;

}  // namespace

std::vector<BreakAction> dictionary_line_break_actions(std::string_view text) {
    std::vector<BreakAction> actions = line_break_actions(text);
    std::vector<std::uint64_t> cuts;
    std::vector<std::uint8_t> scratch;
    const WordDictionary* dicts[LANGUAGE_COUNT] = {};
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t len;
        auto lang = run_language(utf8::decode(text, pos, len));
        if (!lang) {
            pos += len;
            continue;
        }
        // The run: this code point and those after it of the same dictionary script.
        const std::size_t start = pos;
        pos += len;
        while (pos < text.size()) {
            std::size_t next_len;
            const char32_t next = utf8::decode(text, pos, next_len);
            if (next == ZWNJ || next == ZWJ) {
                // A joiner belongs to the run only between two of its letters.
                std::size_t after_len;
                const std::size_t after = pos + next_len;
                if (after >= text.size() || run_language(utf8::decode(text, after, after_len)) != lang)
                    break;
                if (actions[after] != BreakAction::Mandatory) actions[after] = BreakAction::Prohibited;
                next_len += after_len;
            } else if (run_language(next) != lang) {
                break;
            }
            // Inside the run the pair rules no longer decide; Mandatory stays.
            if (actions[pos] != BreakAction::Mandatory) actions[pos] = BreakAction::Prohibited;
            pos += next_len;
        }
        if (pos - start == len) continue;  // one code point: nothing inside to change
        std::size_t i = language_index(*lang);
        if (dicts[i] == nullptr) dicts[i] = &dictionary_for(*lang);
        cuts.clear();
        segment_into(*dicts[i], text, start, pos, cuts, scratch);
        for (std::uint64_t at : cuts)
            if (actions[at] != BreakAction::Mandatory) actions[at] = BreakAction::Allowed;
    }
    return actions;
}

std::vector<Opportunity> line_break_opportunities_with_dictionary(std::string_view text) {
    // Thai, Lao, Khmer and Myanmar (U+0E01..U+19FF, U+AA60..U+AA7F) are all
    // three-byte sequences led by E0, E1 or EA: without those bytes there is
    // no run, and the plain result is the answer.
    bool may_have_run = false;
    for (unsigned char b : text) may_have_run |= b == 0xE0 || b == 0xE1 || b == 0xEA;
    if (!may_have_run) return line_break_opportunities(text);
    return opportunities_from_actions(dictionary_line_break_actions(text));
}

}  // namespace scrivlet::linebreak
