#pragma once
// The code that belongs to a function, as its image's unwind data describes it.
#include <vector>

#include "dllguard/hook/mapped_image.h"

namespace hooking {

// The address ranges of the function that contains `address`: its own entry
// in the exception directory and every fragment chained to it (code the
// compiler moved elsewhere, a cold part say). Empty when no unwind data
// covers the address (a leaf function, generated code).
std::vector<AddressRange> FunctionExtent(const void* address);

}  // namespace hooking
