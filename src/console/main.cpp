// Product.Console: the command-line console of the agent.
#include "console/command_table.h"
#include "console/shell.h"

#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <stdio.h>

int wmain(int argc, wchar_t** argv)
{
    _setmode(_fileno(stdout), _O_U8TEXT);
    _setmode(_fileno(stderr), _O_U8TEXT);
    _setmode(_fileno(stdin), _O_WTEXT);
    SetErrorMode(SEM_FAILCRITICALERRORS);

    ConsoleCommands commands(nullptr);
    commands.RegisterAll();
    RunShell(argc, argv);
    return 0;
}
