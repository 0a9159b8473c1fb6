// Case conversion (with Turkic tailoring for "tr" and "az"), title casing and case folding.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace scrivlet::casemap {

std::string to_lowercase(std::string_view text, std::optional<std::string_view> locale);
std::string to_uppercase(std::string_view text, std::optional<std::string_view> locale);
std::string to_titlecase(std::string_view text);
std::string case_fold(std::string_view text);
std::string case_fold_simple(std::string_view text);

}  // namespace scrivlet::casemap
