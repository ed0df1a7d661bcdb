#include "app/core/sharedstate.h"

// The state is a plain aggregate; this unit makes sure the header compiles on
// its own and gives the library an object file.
namespace kov {
static_assert(std::is_default_constructible_v<SharedState>);
} // namespace kov
