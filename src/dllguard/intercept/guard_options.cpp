#include "dllguard/intercept/guard_options.h"

namespace dllguard {

bool DecodeGuardOptions(uint32_t word, GuardOptions& options)
{
    options = GuardOptions();
    options.word = word;
    if ((word & option::ModeMask) == option::ModeMask)
        return false;
    options.mode = static_cast<GuardMode>(word & option::ModeMask);
    options.checkSignature = (word & option::CheckSignature) != 0;
    options.samePublisher = (word & option::SamePublisher) != 0;
    options.keepSearchPathMode = (word & option::KeepSearchPathMode) != 0;
    options.eventsWanted = (word & (option::ReportMode | option::Events)) != 0;
    return true;
}

}  // namespace dllguard
