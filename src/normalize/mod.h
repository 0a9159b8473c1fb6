// The four Unicode normalization forms.
#pragma once

#include <string>
#include <string_view>

#include "../text.h"
#include "../text_writer.h"

namespace scrivlet::normalize {

std::string normalize_nfc(std::string_view text);
std::string normalize_nfd(std::string_view text);
std::string normalize_nfkc(std::string_view text);
std::string normalize_nfkd(std::string_view text);

// The same forms of fixed-width text. A text already in the form gives false,
// with nothing written; otherwise the whole result is in out and the answer is
// true. Out may be narrower than the result needs: out.bits() tells
// (text_writer.h).
template <typename Unit, typename Out>
bool normalize_nfc(text::Fixed<Unit> text, text::UnitWriter<Out>& out);
template <typename Unit, typename Out>
bool normalize_nfd(text::Fixed<Unit> text, text::UnitWriter<Out>& out);
template <typename Unit, typename Out>
bool normalize_nfkc(text::Fixed<Unit> text, text::UnitWriter<Out>& out);
template <typename Unit, typename Out>
bool normalize_nfkd(text::Fixed<Unit> text, text::UnitWriter<Out>& out);

}  // namespace scrivlet::normalize
