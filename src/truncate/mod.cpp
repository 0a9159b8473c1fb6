#include "mod.h"

#include "../error.h"

namespace scrivlet::truncate {

std::uint64_t text_width(std::string_view) { throw NotBuiltError("not built yet"); }
std::string_view truncate_to_clusters(std::string_view, std::uint64_t) { throw NotBuiltError("not built yet"); }
std::string_view truncate_to_width(std::string_view, std::uint32_t) { throw NotBuiltError("not built yet"); }
}  // namespace scrivlet::truncate
