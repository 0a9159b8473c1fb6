#include "dictionary.h"

#include "../utf8.h"
#include "runs.h"

namespace scrivlet::linebreak {

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

std::vector<std::uint64_t> segment_run(std::string_view run, DictionaryLanguage lang) {
    std::vector<std::uint64_t> out;
    if (run.empty()) return out;
    segment_run_into(dictionary_for(lang), Utf8Units(run), Run{0, run.size(), 0, run.size(), lang},
                     [&](std::uint64_t at) { out.push_back(at); });
    return out;
}

}  // namespace scrivlet::linebreak
