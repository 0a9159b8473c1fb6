#include "dictionary.h"

#include <string>
#include <type_traits>

#include "../segment/cluster_walk.h"
#include "../segment/grapheme.h"
#include "../utf8.h"
#include "runs.h"

namespace scrivlet::linebreak {

// Written by tools/compile_dictionary.py at build time, one source per list.
extern const WordDictionary THAI_WORDS;
extern const WordDictionary LAO_WORDS;
extern const WordDictionary KHMER_WORDS;
extern const WordDictionary MYANMAR_WORDS;

const WordDictionary& dictionary_for(DictionaryLanguage lang) noexcept {
    switch (lang) {
        case DictionaryLanguage::Lao:
            return LAO_WORDS;
        case DictionaryLanguage::Khmer:
            return KHMER_WORDS;
        case DictionaryLanguage::Myanmar:
            return MYANMAR_WORDS;
        default:
            return THAI_WORDS;
    }
}

bool WordDictionary::contains(std::string_view word) const noexcept {
    if (word.empty() || word.size() > max_word_bytes) return false;
    State state = root;
    bool is_word = false;
    for (utf8::Decoder d(word); !d.done();)
        if (!step(state, d.next(), is_word)) return false;
    return is_word;
}

std::size_t WordDictionary::longest_word_at(std::string_view text) const noexcept {
    State state = root;
    std::size_t best = 0;
    for (utf8::Decoder d(text); !d.done();) {
        bool is_word = false;
        if (!step(state, d.next(), is_word)) break;
        if (is_word) best = d.offset();
    }
    return best;
}

namespace {

// The cluster boundaries inside one run, decided where they are asked for,
// locally from the code points around them. They are the boundaries of the
// whole text, which inside a run are those of the run's own text except where
// the run begins with a virama or coeng whose cluster began before the run:
// the text's decide there, so that no break ever falls inside its clusters.
// A pair of regional indicators, which no run holds, would need the whole
// stretch of them: that case falls back to one scan of the run.
template <typename Units>
class RunClusters {
public:
    RunClusters(Units text, const Run& run) : text_(text), run_(run) {}

    // Whether a cluster ends at unit index i of the text (inside the run or at its end).
    bool ends_at(std::size_t i) {
        if (i >= run_.end) return true;
        if (!scanned_.empty()) return scanned_[i - run_.start] != 0;
        if (auto starts = local_start(i)) return *starts;
        scan_run();
        return scanned_[i - run_.start] != 0;
    }

private:
    Units text_;
    const Run& run_;
    std::vector<std::uint8_t> scanned_;

    std::optional<bool> local_start(std::size_t i) const noexcept {
        if constexpr (std::is_same_v<Units, Utf8Units>) {
            return segment::local_cluster_start(text_.utf8(), i);
        } else {
            // The same decision as the UTF-8 one, read straight from the units:
            // the code point at i and at most two before it.
            const char32_t before = i >= 2 ? char32_t(text_.data[i - 2]) : 0;
            return segment::walk::cluster_starts_at(i >= 2 ? &before : nullptr, text_.data[i - 1], text_.data[i]);
        }
    }

    // Flags, per unit of the run, the cluster starts of the run's own text.
    void scan_run() {
        std::string utf8;
        std::vector<std::size_t> unit_at;  // unit index (in the run) of each byte
        for (std::size_t i = run_.start; i < run_.end;) {
            std::size_t len;
            const char32_t cp = text_.decode(i, len);
            const std::size_t bytes = Units::utf8_bytes(cp, len);
            utf8::append(utf8, cp);
            for (std::size_t b = 0; b < bytes; ++b) unit_at.push_back(i - run_.start);
            i += len;
        }
        std::vector<std::uint8_t> flags(utf8.size() + 1, 0);
        segment::mark_cluster_starts(utf8, flags.data());
        scanned_.assign(run_.end - run_.start + 1, 0);
        for (std::size_t b = 0; b < utf8.size(); ++b)
            if (flags[b] && (b == 0 || unit_at[b - 1] != unit_at[b])) scanned_[unit_at[b]] = 1;
    }
};

// The longest listed word at unit index pos of the run that ends on a cluster
// boundary: its end, or pos if none. The automaton is walked as far as a
// listed word can continue; the word ends met on the way are then tried from
// the longest down, so that most words cost one cluster decision.
template <typename Units>
std::size_t longest_word(const WordDictionary& dict, Units text, const Run& run, std::size_t pos,
                         RunClusters<Units>& clusters, std::vector<std::size_t>& ends) {
    ends.clear();
    WordDictionary::State state = dict.root;
    for (std::size_t i = pos; i < run.end;) {
        std::size_t len;
        const char32_t cp = text.decode(i, len);
        bool is_word = false;
        if (!dict.step(state, cp, is_word)) break;
        i += len;
        if (is_word) ends.push_back(i);
    }
    for (std::size_t k = ends.size(); k-- > 0;)
        if (clusters.ends_at(ends[k])) return ends[k];
    return pos;
}

}  // namespace

template <typename Units>
void segment_into(const WordDictionary& dict, Units text, const Run& run,
                  std::vector<std::uint64_t>& cuts, std::vector<std::size_t>& ends) {
    // A run's code points are three bytes long in UTF-8: a unit is a byte of
    // UTF-8, or a whole code point of the fixed-width forms.
    constexpr std::size_t UNIT_BYTES = std::is_same_v<Units, Utf8Units> ? 1 : 3;
    RunClusters<Units> clusters(text, run);
    std::size_t pos = run.start;
    while (pos < run.end) {
        std::size_t end = longest_word(dict, text, run, pos, clusters, ends);
        if (end == pos) {
            // No listed word ends on a boundary here: step over one cluster.
            do {
                std::size_t len;
                text.decode(end, len);
                end += len;
            } while (!clusters.ends_at(end));
        }
        pos = end;
        if (pos >= run.end) break;
        cuts.push_back(run.start_offset + (pos - run.start) * UNIT_BYTES);
    }
}

template void segment_into(const WordDictionary&, Utf8Units, const Run&, std::vector<std::uint64_t>&,
                           std::vector<std::size_t>&);
template void segment_into(const WordDictionary&, FixedUnits<std::uint8_t>, const Run&,
                           std::vector<std::uint64_t>&, std::vector<std::size_t>&);
template void segment_into(const WordDictionary&, FixedUnits<char16_t>, const Run&,
                           std::vector<std::uint64_t>&, std::vector<std::size_t>&);
template void segment_into(const WordDictionary&, FixedUnits<char32_t>, const Run&,
                           std::vector<std::uint64_t>&, std::vector<std::size_t>&);

std::vector<std::uint64_t> segment_run(std::string_view run, DictionaryLanguage lang) {
    std::vector<std::uint64_t> out;
    if (run.empty()) return out;
    std::vector<std::size_t> ends;
    segment_into(dictionary_for(lang), Utf8Units(run), Run{0, run.size(), 0, run.size(), lang}, out,
                 ends);
    return out;
}

}  // namespace scrivlet::linebreak
