#include "mod.h"

#include "../error.h"

namespace scrivlet::bidi {

BidiResult resolve_bidi(std::string_view) { throw NotBuiltError("not built yet"); }
}  // namespace scrivlet::bidi
