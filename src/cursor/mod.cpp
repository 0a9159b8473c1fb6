#include "mod.h"

#include "../error.h"

namespace scrivlet::cursor {

std::uint64_t cursor_left(std::string_view, std::uint64_t) { throw NotBuiltError("not built yet"); }
std::uint64_t cursor_right(std::string_view, std::uint64_t) { throw NotBuiltError("not built yet"); }
std::pair<std::uint64_t, std::uint64_t> word_at(std::string_view, std::uint64_t) { throw NotBuiltError("not built yet"); }
}  // namespace scrivlet::cursor
