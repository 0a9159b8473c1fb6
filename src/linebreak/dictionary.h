// Word dictionaries for Thai, Lao, Khmer and Myanmar, compiled from the word
// lists at build time into read-only automata, and the forward-longest-match
// segmentation of one run.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace scrivlet::linebreak {

// Any value other than these four selects Thai.
enum class DictionaryLanguage : std::uint8_t { Thai = 0, Lao = 1, Khmer = 2, Myanmar = 3 };

// The words of one list as a minimal deterministic automaton over the list's
// own alphabet, written by tools/compile_dictionary.py (which also proves that
// it accepts exactly the listed words). Plain constant data: nothing is built
// at run time.
//
// Each code point of the alphabet has a symbol 1..N. A state is a base index
// into slots; its transition on symbol s is slots[base + s] if that slot's low
// byte is s (no two states share a base, so a slot matches only its owner).
// A slot holds, above the check byte, whether the text read so far is a word
// (bit 8) and the base of the next state (bits 9..31).
struct WordDictionary {
    using State = std::uint32_t;
    // No listed word is longer, in code points (the compiler checks), so no
    // walk of the automaton takes more steps.
    static constexpr std::size_t MAX_WORD_LENGTH = 64;

    const std::uint32_t* slots;
    State root;
    // Symbols of the code points first .. first + span - 1 (0: not in the
    // alphabet), and of the few code points of the alphabet outside them.
    const std::uint8_t* symbols;
    char32_t first;
    std::uint32_t span;
    const char32_t* extra_code_points;
    const std::uint8_t* extra_symbols;
    std::uint32_t extra_count;
    std::uint32_t slot_count;
    std::uint32_t word_count;
    std::uint32_t max_word_bytes;

    unsigned symbol(char32_t cp) const noexcept {
        const std::uint32_t i = cp - first;
        if (i < span) [[likely]] return symbols[i];
        for (std::uint32_t k = 0; k < extra_count; ++k)
            if (extra_code_points[k] == cp) return extra_symbols[k];
        return 0;
    }

    // Follows cp from state: false if no listed word continues that way;
    // otherwise state moves on and word tells whether the text read is a word.
    bool step(State& state, char32_t cp, bool& word) const noexcept {
        const unsigned s = symbol(cp);
        // Symbol 0 (outside the alphabet) matches no slot: a free slot's check is 0xFF.
        const std::uint32_t slot = slots[state + s];
        if ((slot & 0xFF) != s) return false;
        word = (slot >> 8) & 1;
        state = slot >> 9;
        return true;
    }

    // Exact membership: a prefix of a word is a member only if it is listed itself.
    bool contains(std::string_view word) const noexcept;

    // Byte length of the longest listed word that the UTF-8 text starts with,
    // 0 if none.
    std::size_t longest_word_at(std::string_view text) const noexcept;
};

// Written by tools/compile_dictionary.py at build time, one source per list.
extern const WordDictionary THAI_WORDS;
extern const WordDictionary LAO_WORDS;
extern const WordDictionary KHMER_WORDS;
extern const WordDictionary MYANMAR_WORDS;

// The dictionary of a language (Thai for any other value): constant data.
inline const WordDictionary& dictionary_for(DictionaryLanguage lang) noexcept {
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

// The dictionary language of a code point whose raw Line_Break class is SA;
// none for SA scripts without a word list (Tai Tham, Tai Viet, New Tai Lue...).
constexpr std::optional<DictionaryLanguage> script_of(char32_t cp) noexcept {
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

// Forward longest match over one run, by grapheme cluster: the byte offsets
// (relative to the run) where one word ends and the next begins, ascending,
// never 0 and never the run's length. A word counts only where it ends on a
// cluster boundary of the run; text that matches no word is cut after every
// cluster.
std::vector<std::uint64_t> segment_run(std::string_view run, DictionaryLanguage lang);

}  // namespace scrivlet::linebreak
