#pragma once
// Turns the device path of a mapped file ("\Device\HarddiskVolume2\x.dll")
// into the path a user knows ("C:\x.dll", "\\?\UNC\server\share\x.dll").
#include "dllguard/trust/native_file_api.h"

#include <string>
#include <string_view>
#include <vector>

namespace dllguard {

// A drive and the device it names, as QueryDosDeviceW reports it.
struct DosDevice {
    std::wstring drive;   // "C:"
    std::wstring target;  // "\Device\HarddiskVolume2"
};

std::vector<DosDevice> QueryDosDevices();

// The drive-letter or UNC form of `devicePath` by prefix matching; network
// redirector and "\??\" paths are recognised too. Empty when nothing matches.
std::wstring MatchDosDevice(std::wstring_view devicePath, const std::vector<DosDevice>& devices);

// Opens the device path itself and asks for the file's final path
// ("\\?\C:\x.dll"); empty when the open or the question fails.
std::wstring FinalPathOfDevicePath(const std::wstring& devicePath, const NativeFileApi& native);

// The final path when the native functions are there and succeed, else the
// drive match; empty when neither finds one.
std::wstring ConvertDevicePath(const std::wstring& devicePath, const NativeFileApi& native);

}  // namespace dllguard
