#include "base/console_output.h"

#include <iostream>
#include <mutex>
#include <string>

namespace console {
namespace {
std::mutex& OutputLock()
{
    static std::mutex lock;
    return lock;
}
}  // namespace

void Write(std::wstring_view text)
{
    std::lock_guard<std::mutex> guard(OutputLock());
    std::wcout.write(text.data(), static_cast<std::streamsize>(text.size()));
    std::wcout.flush();
}

void WriteLine(std::wstring_view text)
{
    std::wstring line(text);
    line += L'\n';
    Write(line);
}

}  // namespace console
