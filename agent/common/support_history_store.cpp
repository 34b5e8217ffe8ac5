#include "common/support_history_store.h"

#include "common/agent_folders.h"
#include "common/locked_file.h"

#include <json/reader.h>
#include <json/writer.h>

#include <cstdio>
#include <memory>

namespace standin {
namespace common {
namespace {

Json::Value TextList(const std::vector<std::string>& items)
{
    Json::Value list(Json::arrayValue);
    for (const auto& item : items)
        list.append(item);
    return list;
}

std::string Text(const Json::Value& object, const char* name)
{
    const Json::Value& value = object[name];
    return value.isString() ? value.asString() : std::string();
}

std::vector<std::string> Texts(const Json::Value& object, const char* name)
{
    std::vector<std::string> items;
    const Json::Value& list = object[name];
    if (list.isString())
        items.push_back(list.asString());
    if (list.isArray()) {
        for (const auto& item : list) {
            if (item.isString())
                items.push_back(item.asString());
        }
    }
    return items;
}

}  // namespace

std::wstring SupportHistoryPath() { return AgentDataDirectory() + L"\\support-history.jsonl"; }

std::string HistoryTimeText(int64_t msSince1970)
{
    const int64_t ticks = (msSince1970 + 11644473600000LL) * 10000;
    FILETIME file{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
    SYSTEMTIME time{};
    if (!FileTimeToSystemTime(&file, &time))
        return {};
    char text[32];
    std::snprintf(text, sizeof text, "%04u-%02u-%02uT%02u:%02u:%02uZ", time.wYear, time.wMonth, time.wDay, time.wHour,
                  time.wMinute, time.wSecond);
    return text;
}

std::string RecordLine(const SupportSessionRecord& record)
{
    Json::Value line(Json::objectValue);
    line["id"] = record.id;
    line["kind"] = record.kind;
    line["scenarios"] = TextList(record.scenarios);
    line["started"] = record.started;
    line["ended"] = record.ended;
    line["status"] = record.status;
    line["deliveredTo"] = TextList(record.deliveredTo);
    Json::StreamWriterBuilder builder;
    builder["indentation"] = "";
    builder["emitUTF8"] = true;
    return Json::writeString(builder, line);
}

bool ParseRecordLine(const std::string& line, SupportSessionRecord& record)
{
    Json::Value object;
    Json::CharReaderBuilder builder;
    const std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    std::string errors;
    if (!reader->parse(line.data(), line.data() + line.size(), &object, &errors) || !object.isObject() ||
        !object["id"].isString())
        return false;
    record.id = object["id"].asString();
    record.kind = Text(object, "kind");
    record.scenarios = Texts(object, "scenarios");
    record.started = Text(object, "started");
    record.ended = Text(object, "ended");
    record.status = Text(object, "status");
    record.deliveredTo = Texts(object, "deliveredTo");
    return true;
}

DWORD AppendSupportSession(const SupportSessionRecord& record, const std::wstring& path)
{
    const size_t slash = path.find_last_of(L"\\/");
    if (slash != std::wstring::npos)
        CreateDirectories(path.substr(0, slash));
    // One write of the whole line, so a reader never sees part of it.
    return AppendLocked(path, RecordLine(record) + "\n");
}

SupportHistory ReadSupportHistory(const std::wstring& path)
{
    SupportHistory history;
    std::string text;
    const DWORD error = ReadLocked(path, text);
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
        return history;
    if (error != 0) {
        history.error = error;
        return history;
    }
    // A byte-order mark left by an editor is no part of the first record.
    size_t start = text.rfind("\xEF\xBB\xBF", 0) == 0 ? 3 : 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.find_first_not_of(" \t") == std::string::npos)
            continue;
        SupportSessionRecord record;
        if (ParseRecordLine(line, record))
            history.sessions.push_back(std::move(record));
        else
            ++history.damagedLines;
    }
    return history;
}

}  // namespace common
}  // namespace standin
