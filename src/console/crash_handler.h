#pragma once
#include <windows.h>

// Enables crash reporting through the agent's crash-handler library (cvch.dll
// beside the executable). Returns the library, which then stays loaded for the
// life of the process, or null when crash reporting could not be turned on;
// the console runs on either way.
HMODULE LoadCrashHandler(const wchar_t* settingsFile, HMODULE preloaded);
