// The runs of Thai, Lao, Khmer and Myanmar that dictionary segmentation
// cuts into words, found in any form of text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "../data/line_break.h"
#include "dictionary.h"
#include "units.h"

namespace scrivlet::linebreak {

// Units [start, end) of the text, at UTF-8 offsets [start_offset, end_offset).
struct Run {
    std::size_t start = 0, end = 0;
    std::size_t start_offset = 0, end_offset = 0;
    DictionaryLanguage lang = DictionaryLanguage::Thai;
};

// The dictionary language of a code point that starts or continues a run:
// raw class SA and a script with a word list. script_of goes first, being a
// few comparisons where the class is a table look-up.
inline std::optional<DictionaryLanguage> run_language(char32_t cp) noexcept {
    auto lang = script_of(cp);
    if (lang && data::raw_line_break_class(cp) != data::LineBreakClass::SA) return std::nullopt;
    return lang;
}

// Whether a code point may open a run: U+0E01..U+19FF or U+AA60..U+AA7F.
constexpr bool may_open_run(char32_t cp) noexcept {
    return cp - 0x0E01 <= 0x19FF - 0x0E01 || cp - 0xAA60 <= 0xAA7F - 0xAA60;
}

// Finds the runs in order: a code point of a dictionary script, then those
// after it of the same one; a ZWNJ or ZWJ belongs to the run only between two
// of its letters. A run of one code point has nothing inside to cut and is
// passed over.
template <typename Units>
class RunFinder {
public:
    explicit RunFinder(Units text) noexcept : text_(text) {}

    // The next run at or after unit index pos, whose UTF-8 offset is offset.
    std::optional<Run> next(std::size_t pos, std::size_t offset) const noexcept {
        constexpr char32_t ZWNJ = 0x200C, ZWJ = 0x200D;
        const std::size_t n = text_.size();
        while (pos < n) {
            std::size_t len;
            const char32_t cp = text_.decode(pos, len);
            const auto lang = may_open_run(cp) ? run_language(cp) : std::nullopt;
            if (!lang) {
                pos += len;
                offset += Units::utf8_bytes(cp, len);
                continue;
            }
            Run run{pos, 0, offset, 0, *lang};
            pos += len;
            offset += Units::utf8_bytes(cp, len);
            while (pos < n) {
                std::size_t next_len;
                const char32_t next = text_.decode(pos, next_len);
                std::size_t bytes = Units::utf8_bytes(next, next_len);
                if (next == ZWNJ || next == ZWJ) {
                    std::size_t after_len;
                    const std::size_t after = pos + next_len;
                    if (after >= n) break;
                    const char32_t after_cp = text_.decode(after, after_len);
                    if (run_language(after_cp) != lang) break;
                    next_len += after_len;
                    bytes += Units::utf8_bytes(after_cp, after_len);
                } else if (!may_open_run(next) || run_language(next) != lang) {
                    break;
                }
                pos += next_len;
                offset += bytes;
            }
            if (pos - run.start == len) continue;  // one code point
            run.end = pos;
            run.end_offset = offset;
            return run;
        }
        return std::nullopt;
    }

private:
    Units text_;
};

// Appends to cuts (UTF-8 offsets in the text) the word ends inside the run, by
// forward longest match over the run's grapheme clusters.
template <typename Units>
void segment_into(const WordDictionary& dict, Units text, const Run& run,
                  std::vector<std::uint64_t>& cuts);

}  // namespace scrivlet::linebreak
