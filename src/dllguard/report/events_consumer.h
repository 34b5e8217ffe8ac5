#pragma once
// Where guard events go when they do not go to the report file: an event
// sink installed at start-up, reached through a dispatcher.
#include "dllguard/report/guard_event.h"

namespace dllguard {

// Receives the eight fields of an event (pointers in field order, valid
// for the call only) and the context it was installed with.
using EventSink = void (*)(const char* const* fields, void* context);

// Takes events and drops them: installed when reporting is switched off.
void NoOpEventSink(const char* const* fields, void* context);

class EventsConsumerBase {
public:
    virtual ~EventsConsumerBase() = default;
    virtual void Consume(const DllProtectInfo& event) = 0;
};

// Hands each event to the installed sink.
class EventsCbkDumper : public EventsConsumerBase {
public:
    EventsCbkDumper(EventSink sink, void* context) : sink_(sink), context_(context) {}
    void Consume(const DllProtectInfo& event) override;

private:
    EventSink sink_;
    void* context_;
};

}  // namespace dllguard
