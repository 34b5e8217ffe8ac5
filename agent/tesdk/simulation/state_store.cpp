#include "state_store.h"

#include "common/agent_folders.h"
#include "base/unique_resource.h"

#include <json/reader.h>
#include <json/writer.h>

#include <vector>

namespace standin {
namespace {

std::string ReadFileText(const std::wstring& path)
{
    UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return {};
    std::string text;
    char chunk[65536];
    DWORD read = 0;
    while (ReadFile(file.get(), chunk, sizeof chunk, &read, nullptr) && read > 0)
        text.append(chunk, read);
    return text;
}

bool WriteFileAtomically(const std::wstring& path, const std::string& text)
{
    const std::wstring temporary = path + L"." + std::to_wstring(GetCurrentProcessId()) + L".tmp";
    {
        UniqueFile file(CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file)
            return false;
        DWORD written = 0;
        if (!WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr) ||
            written != text.size()) {
            file.reset();
            DeleteFileW(temporary.c_str());
            return false;
        }
        FlushFileBuffers(file.get());
    }
    if (!MoveFileExW(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        DeleteFileW(temporary.c_str());
        return false;
    }
    return true;
}

Json::Value Parse(const std::string& text)
{
    Json::Value state;
    Json::CharReaderBuilder builder;
    const std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    std::string errors;
    if (text.empty() || !reader->parse(text.data(), text.data() + text.size(), &state, &errors) || !state.isObject())
        return Json::Value(Json::objectValue);
    return state;
}

// A machine-wide lock around each transaction.
class StateLock {
public:
    StateLock() : mutex_(CreateMutexW(nullptr, FALSE, L"Local\\ProductAgentSimulationState"))
    {
        if (mutex_) {
            const DWORD waited = WaitForSingleObject(mutex_.get(), 30000);
            held_ = waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;
        }
    }
    ~StateLock()
    {
        if (held_)
            ReleaseMutex(mutex_.get());
    }

private:
    UniqueHandle mutex_;
    bool held_ = false;
};

}  // namespace

int64_t NowMs()
{
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    const int64_t ticks = (static_cast<int64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    return ticks / 10000 - 11644473600000LL;
}

StateStore::StateStore() : folder_(common::AgentDataDirectory()), path_(folder_ + L"\\agent-state.json") {}

Json::Value StateStore::Read()
{
    StateLock lock;
    return Parse(ReadFileText(path_));
}

bool StateStore::Transaction(const std::function<void(Json::Value& state)>& change)
{
    StateLock lock;
    Json::Value state = Parse(ReadFileText(path_));
    change(state);
    Json::StreamWriterBuilder builder;
    builder["indentation"] = "  ";
    return WriteFileAtomically(path_, Json::writeString(builder, state));
}

}  // namespace standin
