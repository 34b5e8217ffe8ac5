#include "dllguard/report/events_consumer.h"

#include <array>

namespace dllguard {

void NoOpEventSink(const char* const* /*fields*/, void* /*context*/) {}

void EventsCbkDumper::Consume(const DllProtectInfo& event)
{
    std::array<const char*, DllProtectInfo::kFieldCount> fields{};
    for (size_t i = 0; i < fields.size(); ++i)
        fields[i] = (event.*DllProtectInfo::kFields[i]).c_str();
    if (sink_)
        sink_(fields.data(), context_);
}

}  // namespace dllguard
