// The four Unicode normalization forms.
#pragma once

#include <string>
#include <string_view>

namespace scrivlet::normalize {

std::string normalize_nfc(std::string_view text);
std::string normalize_nfd(std::string_view text);
std::string normalize_nfkc(std::string_view text);
std::string normalize_nfkd(std::string_view text);

}  // namespace scrivlet::normalize
