#pragma once
// The switches that come before everything else on the command line: "/json"
// first chooses the JSON form, then "/?" asks for the usage. The rest is the
// shell's, as if the switches were not there.

struct StartOptions {
    bool json = false;
    bool usage = false;
    // The command line for the shell: without "/json", its first word standing
    // in for the program's name.
    int argc = 0;
    wchar_t** argv = nullptr;
};

StartOptions ReadStartOptions(int argc, wchar_t** argv);
