#pragma once
// What the connection tests load with and send.
#include "integration/integration.h"

#include <windows.h>

#include <string>

// A "Product" "GetStatus" request document, as the library receives it.
inline const std::string GetStatusRequest =
    R"({"type":"tesdk","data":{"Product":[{"@name":"GetStatus","input":{}}]}})";

// The options every caller in the console loads with.
inline cv::tesdk::SdkLoadOptions Signed()
{
    cv::tesdk::SdkLoadOptions options;
    options.requireSignedLibrary = true;
    return options;
}

// A file beside the test program (the fixture libraries are built there).
inline std::wstring BesideTest(const wchar_t* name)
{
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path, length);
    return folder.substr(0, folder.find_last_of(L"\\/") + 1) + name;
}
