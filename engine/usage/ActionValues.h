#pragma once
// A Swing Action holds its values under keys (putValue(key, value)): under NAME,
// SHORT_DESCRIPTION and LONG_DESCRIPTION a text its buttons and menus show; under
// ACTION_COMMAND_KEY the command its listeners compare; under any other key (an icon's, an
// accelerator's, the program's own) a value the program reads back. javac writes Action's
// constants as their texts ("Name", "ShortDescription", ...), so the key at the call tells.

#include "usage/FlowContext.h"

#include <cstddef>
#include <cstdint>

namespace cl::usage {

// At a call of putValue(String, Object): records the use of the value (args[2]) by the key
// (args[1]) and returns true; false when the call is no such call or the key does not decide,
// and the value goes where the table or the called method sends it.
bool ApplyActionValue(FlowContext& c, const CallSite& site, const uint32_t* args, size_t count);

}  // namespace cl::usage
