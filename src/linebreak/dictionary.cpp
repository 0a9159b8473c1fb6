#include "mod.h"

#include "../error.h"

namespace scrivlet::linebreak {

std::vector<BreakAction> dictionary_line_break_actions(std::string_view) { throw NotBuiltError("not built yet"); }
std::vector<Opportunity> line_break_opportunities_with_dictionary(std::string_view) { throw NotBuiltError("not built yet"); }
}  // namespace scrivlet::linebreak
