#include "mod.h"

#include "../error.h"

namespace scrivlet::normalize {

std::string normalize_nfc(std::string_view) { throw NotBuiltError("not built yet"); }
std::string normalize_nfd(std::string_view) { throw NotBuiltError("not built yet"); }
std::string normalize_nfkc(std::string_view) { throw NotBuiltError("not built yet"); }
std::string normalize_nfkd(std::string_view) { throw NotBuiltError("not built yet"); }
}  // namespace scrivlet::normalize
