#pragma once
// The 16-byte identifiers of the plug-in object protocol: two 64-bit words,
// low word first. From the text D1-D2-D3-D4-D5 the first word is
// (D4 << 48) + D5 and the second (D1 << 32) + (D2 << 16) + D3.
#include <cstdint>

struct PluginId {
    uint64_t low;
    uint64_t high;
};

inline bool operator==(const PluginId& a, const PluginId& b) { return a.low == b.low && a.high == b.high; }

// Reads the text form; false when it does not have five hexadecimal groups.
bool PluginIdFromText(const char* text, PluginId& id);

namespace plugin_ids {
// Passed to the factory when the object is created.
constexpr PluginId Factory{0xBC90FCA366551AB3ull, 0x514BE292F7C5425Full};
// The service-plug-in interface, asked of the new object.
constexpr PluginId ServPlugin{0x983304D0414E2323ull, 0xE952825D7C884176ull};
// The telemetry interface, asked of the service-plug-in interface.
constexpr const char* TelemetryText = "872DA2C0-CDA8-4CEF-8348-02768709E306";
}  // namespace plugin_ids
