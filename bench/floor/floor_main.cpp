// The floor of a one-shot command: a program that loads what every run of
// "/c GetVersion product" loads (TesJson.dll by import, the crash handler with
// dbghelp.dll, the agent library, the logging library and the telemetry
// plug-in, all from its own folder) and exits. The console's time over this
// one is its own.
#include <json/value.h>

#include <windows.h>

#include <string>

int wmain()
{
    // A use of JsonCpp keeps TesJson.dll among the imports.
    const Json::Value imported(Json::objectValue);

    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path, length);
    folder.erase(folder.find_last_of(L'\\') + 1);
    int missing = 0;
    for (const wchar_t* library : {L"cvch.dll", L"tesdk.dll", L"log.dll", L"product.matrix.comm.dll"}) {
        // Loaded for the life of the process, as the console's are.
        if (LoadLibraryExW((folder + library).c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH) == nullptr)
            ++missing;
    }
    return missing + static_cast<int>(imported.size());
}
