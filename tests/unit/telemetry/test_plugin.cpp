// A plug-in library for loader tests. TEST_PLUGIN_MODE picks the step that
// fails; every call is appended to TEST_PLUGIN_CALLS, which outlives the
// library's unloading.
#include "telemetry/plugin_interfaces.h"

#include <windows.h>

#include <string>

namespace {

// The protocol's identifiers as the plug-in's maker writes them, not taken
// from the console's headers: a wrong value on the console's side finds
// nothing here.
constexpr PluginId FactoryId{0xBC90FCA366551AB3ull, 0x514BE292F7C5425Full};     // 514BE292-F7C5-425F-BC90-FCA366551AB3
constexpr PluginId ServPluginId{0x983304D0414E2323ull, 0xE952825D7C884176ull};  // E952825D-7C88-4176-9833-04D0414E2323
constexpr PluginId TelemetryId{0x834802768709E306ull, 0x872DA2C0CDA84CEFull};   // 872DA2C0-CDA8-4CEF-8348-02768709E306

std::string Mode()
{
    char buffer[64] = {};
    GetEnvironmentVariableA("TEST_PLUGIN_MODE", buffer, sizeof buffer);
    return buffer;
}

void Record(const char* call)
{
    char buffer[4096] = {};
    GetEnvironmentVariableA("TEST_PLUGIN_CALLS", buffer, sizeof buffer);
    SetEnvironmentVariableA("TEST_PLUGIN_CALLS", (std::string(buffer) + call + ",").c_str());
}

class Sink final : public Telemetry::ITelemetry {
public:
    void* GetInterface(const PluginId*) override { return nullptr; }
    void Reserved() override {}
    uint32_t SendNotification(const Json::Value& event, int32_t) override
    {
        Record(("send:" + event["tool"].asString()).c_str());
        return Mode() == "send_fails" ? 77 : 0;
    }
};

class Plugin final : public IServPlugin {
public:
    void* GetInterface(const PluginId* id) override
    {
        Record("telemetry?");
        if (Mode() == "no_telemetry" || !(*id == TelemetryId))
            return nullptr;
        return static_cast<Telemetry::ITelemetry*>(&sink_);
    }
    uint32_t Init(int32_t value) override
    {
        Record(value == 0 ? "init" : "init(nonzero)");
        return Mode() == "init_fails" ? 55 : 0;
    }
    void Uninit() override { Record("uninit"); }
    uint32_t Start() override
    {
        Record("start");
        return Mode() == "start_fails" ? 66 : 0;
    }
    void Stop() override { Record("stop"); }

private:
    Sink sink_;
};

class Object final : public IPluginObject {
public:
    void* GetInterface(const PluginId* id) override
    {
        Record("serv?");
        if (Mode() == "no_serv" || !(*id == ServPluginId))
            return nullptr;
        return static_cast<IServPlugin*>(&plugin_);
    }

private:
    Plugin plugin_;
};

}  // namespace

extern "C" {

__declspec(dllexport) uint32_t CvCreateObject(const wchar_t* name, const PluginId* id, void** object)
{
    Record(std::wstring(name) == L"Product.Matrix" && *id == FactoryId ? "create" : "create(wrong)");
    if (Mode() == "create_fails")
        return 1234;
    *object = Mode() == "no_object" ? nullptr : static_cast<IPluginObject*>(new Object());
    return 0;
}

#ifndef WITHOUT_DESTROY
__declspec(dllexport) void CvDestroyObject(const wchar_t*, void* object)
{
    Record("destroy");
    delete static_cast<Object*>(static_cast<IPluginObject*>(object));
}
#endif

}  // extern "C"
