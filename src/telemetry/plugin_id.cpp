#include "telemetry/plugin_id.h"

#include <cstdio>

bool PluginIdFromText(const char* text, PluginId& id)
{
    unsigned long long d1 = 0, d2 = 0, d3 = 0, d4 = 0, d5 = 0;
    if (text == nullptr || std::sscanf(text, "%llx-%llx-%llx-%llx-%llx", &d1, &d2, &d3, &d4, &d5) != 5)
        return false;
    id.low = (d4 << 48) + d5;
    id.high = (d1 << 32) + (d2 << 16) + d3;
    return true;
}
