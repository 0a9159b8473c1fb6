// Case conversion (with Turkic tailoring for "tr" and "az"), title casing and case folding.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "../text.h"
#include "../text_writer.h"

namespace scrivlet::casemap {

std::string to_lowercase(std::string_view text, std::optional<std::string_view> locale);
std::string to_uppercase(std::string_view text, std::optional<std::string_view> locale);
std::string to_titlecase(std::string_view text);
std::string case_fold(std::string_view text);
std::string case_fold_simple(std::string_view text);

// The same operations on fixed-width text. A text the operation leaves as it
// is gives false, with nothing written; otherwise the whole result is in out
// and the answer is true. Out may be narrower than the result needs: out.bits()
// tells (text_writer.h).
template <typename Unit, typename Out>
bool to_lowercase(text::Fixed<Unit> text, std::optional<std::string_view> locale, text::UnitWriter<Out>& out);
template <typename Unit, typename Out>
bool to_uppercase(text::Fixed<Unit> text, std::optional<std::string_view> locale, text::UnitWriter<Out>& out);
template <typename Unit, typename Out>
bool to_titlecase(text::Fixed<Unit> text, text::UnitWriter<Out>& out);
template <typename Unit, typename Out>
bool case_fold(text::Fixed<Unit> text, text::UnitWriter<Out>& out);
template <typename Unit, typename Out>
bool case_fold_simple(text::Fixed<Unit> text, text::UnitWriter<Out>& out);

}  // namespace scrivlet::casemap
