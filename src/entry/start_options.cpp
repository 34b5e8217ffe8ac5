#include "entry/start_options.h"

#include <cwchar>

StartOptions ReadStartOptions(int argc, wchar_t** argv)
{
    StartOptions options;
    options.argc = argc;
    options.argv = argv;
    // Exact, case-sensitive spellings, as "/c" is.
    if (options.argc >= 2 && std::wcscmp(options.argv[1], L"/json") == 0) {
        options.json = true;
        --options.argc;
        ++options.argv;
    }
    options.usage = options.argc >= 2 && std::wcscmp(options.argv[1], L"/?") == 0;
    return options;
}
