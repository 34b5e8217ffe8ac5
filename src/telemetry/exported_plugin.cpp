#include "telemetry/exported_plugin.h"

#include "base/module_path.h"

#include <shlwapi.h>

namespace {

constexpr uint32_t ErrorInvalidParameter = 87;
constexpr uint32_t ErrorNoPluginObject = 632;  // no library, export, object or service interface
constexpr uint32_t NoInterface = 0x80004002;

template <class Function>
Function Export(HMODULE library, const char* name)
{
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(library, name)));
}

std::wstring DirectoryOf(HMODULE module) { return FolderWithBackslash(ModuleFileName(module)); }

DWORD PluginLoadFlags()
{
    const bool restrictedSearch =
        GetProcAddress(GetModuleHandleW(L"Kernel32.dll"), "SetDefaultDllDirectories") != nullptr;
    return restrictedSearch ? LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_DEFAULT_DIRS
                            : LOAD_WITH_ALTERED_SEARCH_PATH;
}

}  // namespace

void* ExportedObject<IServPlugin>::GetInterface(const PluginId* id)
{
    return object_ != nullptr ? object_->GetInterface(id) : nullptr;
}

uint32_t ExportedObject<IServPlugin>::Load(const std::wstring& libraryName, const std::wstring& objectName)
{
    Unload();
    objectName_ = objectName;

    const DWORD flags = PluginLoadFlags();
    if (PathIsRelativeW(libraryName.c_str())) {
        library_.reset(LoadLibraryExW((DirectoryOf(nullptr) + libraryName).c_str(), nullptr, flags));
        if (!library_)
            library_.reset(LoadLibraryExW((DirectoryOf(ModuleOfThisCode()) + libraryName).c_str(), nullptr, flags));
    } else {
        library_.reset(LoadLibraryExW(libraryName.c_str(), nullptr, flags));
    }

    if (library_) {
        create_ = Export<CreateObjectFunction>(library_.get(), "CvCreateObject");
        destroy_ = Export<DestroyObjectFunction>(library_.get(), "CvDestroyObject");
    }
    if (!library_ || create_ == nullptr || destroy_ == nullptr) {
        const DWORD error = GetLastError();
        Unload();
        return error != 0 ? error : ErrorNoPluginObject;
    }

    void* object = nullptr;
    const uint32_t created = create_(objectName_.c_str(), &plugin_ids::Factory, &object);
    object_ = static_cast<IPluginObject*>(object);
    if (created != 0) {
        Unload();
        return created;
    }
    // A factory that reports success without an object has no interface either.
    servPlugin_ = object_ != nullptr ? static_cast<IServPlugin*>(object_->GetInterface(&plugin_ids::ServPlugin))
                                     : nullptr;
    if (servPlugin_ == nullptr) {
        Unload();
        return ErrorNoPluginObject;
    }
    return 0;
}

void ExportedObject<IServPlugin>::Unload()
{
    if (object_ != nullptr && destroy_ != nullptr)
        destroy_(objectName_.c_str(), object_);
    servPlugin_ = nullptr;
    object_ = nullptr;
    library_.reset();
    create_ = nullptr;
    destroy_ = nullptr;
    objectName_.clear();
}

void* ExportedPlugin<Telemetry::ITelemetry>::GetInterface(const PluginId* id)
{
    IServPlugin* plugin = object_.ServPlugin();
    return plugin != nullptr ? plugin->GetInterface(id) : nullptr;
}

uint32_t ExportedPlugin<Telemetry::ITelemetry>::Load(const std::wstring& libraryName, const std::wstring& objectName)
{
    Release();
    if (libraryName.empty() || objectName.empty())
        return ErrorInvalidParameter;

    const uint32_t loaded = object_.Load(libraryName, objectName);
    if (loaded != 0)
        return loaded;
    IServPlugin* plugin = object_.ServPlugin();
    const uint32_t initialised = plugin->Init(0);
    if (initialised != 0) {
        object_.Unload();
        return initialised;
    }
    const uint32_t started = plugin->Start();
    if (started != 0) {
        plugin->Uninit();
        object_.Unload();
        return started;
    }
    PluginId telemetryId{};
    PluginIdFromText(plugin_ids::TelemetryText, telemetryId);
    telemetry_ = static_cast<Telemetry::ITelemetry*>(plugin->GetInterface(&telemetryId));
    if (telemetry_ != nullptr)
        return 0;
    plugin->Stop();
    plugin->Uninit();
    object_.Unload();
    return NoInterface;
}

void ExportedPlugin<Telemetry::ITelemetry>::Release()
{
    if (IServPlugin* plugin = object_.ServPlugin()) {
        plugin->Stop();
        plugin->Uninit();
        object_.Unload();
    }
    telemetry_ = nullptr;
}
