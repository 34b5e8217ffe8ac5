#include "console/logging.h"

// Inactive until the logging bridge lands.
namespace logging {
bool BridgeAvailable() { return false; }
void Diagnostic(uint32_t, const wchar_t*, const wchar_t*, ...) {}
}  // namespace logging
