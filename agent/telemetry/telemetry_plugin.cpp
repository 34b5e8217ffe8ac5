// product.matrix.comm.dll: the telemetry plug-in. The factory creates the
// object "Product.Matrix"; its service-plug-in interface, once initialised
// and started, hands out the telemetry interface, which appends each event as
// one JSON line to the telemetry file: %PRODUCT_TELEMETRY_DIR%\events.jsonl,
// or %ProgramData%\ProductAgent\Telemetry\events.jsonl.
#include "common/agent_folders.h"
#include "base/unique_resource.h"
#include "telemetry/plugin_interfaces.h"

#include <windows.h>

#include <json/writer.h>

#include <atomic>
#include <string>

namespace {

constexpr uint32_t NotFound = 0x80004002;  // E_NOINTERFACE

std::wstring TelemetryFolder()
{
    std::wstring folder = standin::common::EnvironmentText(L"PRODUCT_TELEMETRY_DIR");
    if (!folder.empty())
        return folder;
    folder = standin::common::EnvironmentText(L"ProgramData");
    return folder.empty() ? std::wstring() : folder + L"\\ProductAgent\\Telemetry";
}

// Appends one line with a single write, so lines of concurrent writers
// (several consoles) never interleave.
uint32_t AppendLine(const std::string& line)
{
    const std::wstring folder = TelemetryFolder();
    if (folder.empty())
        return ERROR_PATH_NOT_FOUND;
    standin::common::CreateDirectories(folder);
    const std::wstring path = folder + L"\\events.jsonl";
    const UniqueFile file(CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return GetLastError();
    DWORD written = 0;
    const BOOL ok = WriteFile(file.get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    return ok && written == line.size() ? 0 : GetLastError();
}

class TelemetrySink final : public Telemetry::ITelemetry {
public:
    void* GetInterface(const PluginId*) override { return nullptr; }
    void Reserved() override {}
    uint32_t SendNotification(const Json::Value& event, int32_t) override
    {
        // The event is written out before returning; nothing of it is kept.
        Json::StreamWriterBuilder builder;
        builder["indentation"] = "";
        return AppendLine(Json::writeString(builder, event) + "\n");
    }
};

class ServPlugin final : public IServPlugin {
public:
    void* GetInterface(const PluginId* id) override
    {
        PluginId telemetry{};
        PluginIdFromText(plugin_ids::TelemetryText, telemetry);
        return id != nullptr && *id == telemetry && started_ ? static_cast<Telemetry::ITelemetry*>(&sink_) : nullptr;
    }
    uint32_t Init(int32_t) override
    {
        initialised_ = true;
        return 0;
    }
    void Uninit() override { initialised_ = false; }
    uint32_t Start() override
    {
        if (!initialised_)
            return ERROR_NOT_READY;
        started_ = true;
        return 0;
    }
    void Stop() override { started_ = false; }

private:
    std::atomic<bool> initialised_{false};
    std::atomic<bool> started_{false};
    TelemetrySink sink_;
};

class MatrixObject final : public IPluginObject {
public:
    void* GetInterface(const PluginId* id) override
    {
        return id != nullptr && *id == plugin_ids::ServPlugin ? static_cast<IServPlugin*>(&plugin_) : nullptr;
    }

private:
    ServPlugin plugin_;
};

}  // namespace

extern "C" {

__declspec(dllexport) uint32_t CvCreateObject(const wchar_t* objectName, const PluginId* factoryId, void** object)
{
    if (object == nullptr)
        return ERROR_INVALID_PARAMETER;
    *object = nullptr;
    if (objectName == nullptr || std::wstring(objectName) != L"Product.Matrix" || factoryId == nullptr ||
        !(*factoryId == plugin_ids::Factory))
        return NotFound;
    *object = static_cast<IPluginObject*>(new MatrixObject());
    return 0;
}

__declspec(dllexport) void CvDestroyObject(const wchar_t*, void* object)
{
    delete static_cast<MatrixObject*>(static_cast<IPluginObject*>(object));
}

}  // extern "C"
