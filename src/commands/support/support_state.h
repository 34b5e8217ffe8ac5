#pragma once
// The support module's state, as the waiting support commands poll it.
#include "integration/integration.h"

#include <string_view>

// Asks "Product.Support" "GetState" (5000 ms) whether the support state is
// `expected`. Anything but an answer with that state, a failed send
// included, is no; nothing is printed.
[[nodiscard]] bool IsSupportState(cv::tesdk::Integration& connection, std::wstring_view expected);
