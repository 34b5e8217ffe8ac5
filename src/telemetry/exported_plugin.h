#pragma once
// Holders that drive a plug-in library's object protocol: load the library,
// create the named object, obtain, initialise and start its service-plug-in
// interface and ask it for the interface wanted. Every failure backs out
// exactly the steps already taken, in reverse.
#include "base/unique_resource.h"
#include "telemetry/plugin_interfaces.h"

#include <string>

template <class Interface>
class ExportedObject;

template <>
class ExportedObject<IServPlugin> {
public:
    ExportedObject() = default;
    virtual ~ExportedObject() { Unload(); }
    ExportedObject(const ExportedObject&) = delete;
    ExportedObject& operator=(const ExportedObject&) = delete;

    virtual void* GetInterface(const PluginId* id);

    // 0, the factory's code, 632 (no service-plug-in interface) or the
    // system's last error (632 when that is 0).
    uint32_t Load(const std::wstring& libraryName, const std::wstring& objectName);
    void Unload();

    IServPlugin* ServPlugin() const { return servPlugin_; }

private:
    UniqueModule library_;
    IPluginObject* object_ = nullptr;
    IServPlugin* servPlugin_ = nullptr;
    DestroyObjectFunction destroy_ = nullptr;
    CreateObjectFunction create_ = nullptr;
    std::wstring objectName_;
};

template <class Interface, class Exposed = Interface>
class ExportedPlugin;

template <>
class ExportedPlugin<Telemetry::ITelemetry> {
public:
    ExportedPlugin() = default;
    virtual ~ExportedPlugin() { Release(); }
    ExportedPlugin(const ExportedPlugin&) = delete;
    ExportedPlugin& operator=(const ExportedPlugin&) = delete;

    virtual void* GetInterface(const PluginId* id);

    // 0 only when the plug-in is started and the interface obtained; else
    // 87, a load result, the Init/Start code or 0x80004002.
    uint32_t Load(const std::wstring& libraryName, const std::wstring& objectName);
    // Stops, uninitialises and unloads whatever is held.
    void Release();

    Telemetry::ITelemetry* Interface() const { return telemetry_; }

private:
    ExportedObject<IServPlugin> object_;
    Telemetry::ITelemetry* telemetry_ = nullptr;
};
