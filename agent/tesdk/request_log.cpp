#include "request_log.h"

#include "common/agent_folders.h"
#include "base/unique_resource.h"

#include <json/reader.h>
#include <json/writer.h>

#include <vector>

namespace standin {

RequestLog::RequestLog()
{
    path_ = common::EnvironmentText(L"PRODUCT_TESDK_LOG");
}

void RequestLog::Write(const char* event, Json::Value entry)
{
    if (!Enabled())
        return;
    std::lock_guard<std::mutex> guard(lock_);
    entry["event"] = event;
    entry["pid"] = static_cast<Json::UInt>(GetCurrentProcessId());
    entry["seq"] = static_cast<Json::UInt64>(++sequence_);
    entry["time_ms"] = static_cast<Json::UInt64>(GetTickCount64());
    Json::StreamWriterBuilder builder;
    builder["indentation"] = "";
    const std::string line = Json::writeString(builder, entry) + "\n";

    // One append per line: lines of concurrent writers never interleave.
    UniqueFile file(CreateFileW(path_.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return;
    DWORD written = 0;
    WriteFile(file.get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}

Json::Value DocumentOrText(const std::string& text)
{
    Json::CharReaderBuilder builder;
    const std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    Json::Value document;
    std::string errors;
    if (reader->parse(text.data(), text.data() + text.size(), &document, &errors))
        return document;
    return Json::Value(text);
}

}  // namespace standin
