#pragma once
// The interfaces of the telemetry plug-in library, as the console calls them.
#include "telemetry/plugin_id.h"

#include <json/value.h>

#include <cstdint>

// The object the factory creates: hands out interfaces by identifier.
class IPluginObject {
public:
    virtual void* GetInterface(const PluginId* id) = 0;

protected:
    ~IPluginObject() = default;
};

class IServPlugin {
public:
    virtual void* GetInterface(const PluginId* id) = 0;
    virtual uint32_t Init(int32_t reserved) = 0;  // 0 on success
    virtual void Uninit() = 0;
    virtual uint32_t Start() = 0;  // 0 on success
    virtual void Stop() = 0;

protected:
    ~IServPlugin() = default;
};

namespace Telemetry {
class ITelemetry {
public:
    virtual void* GetInterface(const PluginId* id) = 0;
    virtual void Reserved() = 0;
    // Delivers the event; the plug-in keeps no reference to it. 0 on success.
    virtual uint32_t SendNotification(const Json::Value& event, int32_t flags) = 0;

protected:
    ~ITelemetry() = default;
};
}  // namespace Telemetry

// Exports of the plug-in library.
using CreateObjectFunction = uint32_t (*)(const wchar_t* objectName, const PluginId* factoryId, void** object);
using DestroyObjectFunction = void (*)(const wchar_t* objectName, void* object);
