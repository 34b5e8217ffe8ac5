#include "telemetry/telemetry_app.h"

#include "console/arguments.h"
#include "console/command_output.h"
#include "base/function_trace.h"
#include "base/logging.h"
#include "base/module_path.h"
#include "base/result_codes.h"
#include "base/text_conversion.h"
#include "telemetry/exported_plugin.h"
#include "telemetry/file_version.h"

#include <windows.h>

#include <json/writer.h>

#include <cstdio>
#include <vector>

namespace Product {
namespace TelemetryST {
namespace {

constexpr wchar_t PluginLibrary[] = L"product.matrix.comm.dll";
constexpr wchar_t PluginObject[] = L"Product.Matrix";

}  // namespace

TelemetryApp::TelemetryApp() : event_(Json::objectValue) { bridge_.Acquire(); }

TelemetryApp::~TelemetryApp() = default;

void TelemetryApp::Begin(const std::string& commandName, const ArgumentTokens& args)
{
    event_ = Json::Value(Json::objectValue);
    event_["event_name"] = "m_tool_ran";
    event_["event_version"] = "1.0";
    AddToolVersion(event_);
    event_["tool"] = "Product.Console " + commandName;
    AddOptions(event_, args);
}

void TelemetryApp::End(ResultCode resultCode)
{
    event_["exit_code"] = CodeValue(resultCode);
    event_["exit_reason"] = ResultCodeMessage(resultCode);
    SendTelemetryEvent(event_);
}

void AddToolVersion(Json::Value& event)
{
    const logging::FunctionTrace trace(L"Product::TelemetryST::TelemetryApp::AddToolVersion");
    FileVersionInfo version;
    const uint32_t status = GetFileVersion(ModuleFileName(nullptr), version);
    if (status != 0) {
        logging::Diagnostic(logging::level::Failure, L"Product::TelemetryST::TelemetryApp::AddToolVersion",
                            L"GetFileVersion failed. Error %d.", static_cast<int>(status));
        return;
    }
    wchar_t text[64];
    std::swprintf(text, 64, L"%d.%d.%d.%d", version.major, version.minor, version.build, version.revision);
    event["tool_version"] = WideToUtf8(text);
}

void AddOptions(Json::Value& event, const ArgumentTokens& args)
{
    Json::Value options(Json::arrayValue);
    for (const auto& token : args) {
        std::string name, value;
        ParseArgument(token, name, value);
        if (name == "scenarioId" || name == "scenario")
            options.append("scenario=" + value);
        else
            options.append(name);
    }
    event["options"] = options;
}

void SendTelemetryEvent(const Json::Value& event)
{
    static constexpr wchar_t Function[] = L"Product::TelemetryST::TelemetryApp::SendTelemetryEvent";
    const logging::FunctionTrace trace(Function);
    const std::wstring text = Utf8ToWide(Json::FastWriter().write(event));
    logging::Diagnostic(logging::level::Dump, Function, L"Dumped telemetry event data: %s", text.c_str());

    ExportedPlugin<Telemetry::ITelemetry> plugin;
    const uint32_t loaded = plugin.Load(PluginLibrary, PluginObject);
    if (loaded != 0) {
        logging::Diagnostic(logging::level::Failure, Function, L"Failed to load the product.matrix.com plugin. Error %d.",
                            static_cast<int>(loaded));
    } else if (plugin.Interface() == nullptr) {
        logging::Diagnostic(logging::level::Failure, Function, L"Invalid plugin.");
    } else {
        const uint32_t sent = plugin.Interface()->SendNotification(event, 0);
        if (sent != 0)
            logging::Diagnostic(logging::level::Failure, Function, L"SendNotification() failed. Error %d.",
                                static_cast<int>(sent));
    }
    plugin.Release();
}

}  // namespace TelemetryST
}  // namespace Product
