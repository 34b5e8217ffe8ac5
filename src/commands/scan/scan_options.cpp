#include "commands/scan/scan_options.h"

#include "console/arguments.h"
#include "console/command_output.h"
#include "base/text_conversion.h"

#include <cerrno>
#include <climits>
#include <cwchar>
#include <string>
#include <vector>

namespace {

template <class Code>
struct AllowedValue {
    const wchar_t* text;  // compared exactly, case-sensitive
    Code code;
};

constexpr AllowedValue<ScanAction> InfectedActions[] = {
    {L"ignore", ScanAction::Ignore},
    {L"disinfect", ScanAction::Disinfect},
    {L"disinfectOnly", ScanAction::DisinfectOnly},
    {L"delete", ScanAction::Delete},
    {L"quarantine", ScanAction::Quarantine},
};

constexpr AllowedValue<ScanAction> SuspiciousActions[] = {
    {L"ignore", ScanAction::Ignore},
    {L"delete", ScanAction::Delete},
    {L"quarantine", ScanAction::Quarantine},
};

constexpr AllowedValue<ScanAction> RootkitActions[] = {
    {L"ignore", ScanAction::Ignore},
    {L"disinfect", ScanAction::Disinfect},
};

constexpr AllowedValue<bool> BooleanValues[] = {
    {L"true", true},
    {L"false", false},
};

constexpr AllowedValue<ExtensionsScanType> ExtensionTypes[] = {
    {L"all", ExtensionsScanType::All},
    {L"application", ExtensionsScanType::Application},
    {L"custom", ExtensionsScanType::Custom},
    {L"none", ExtensionsScanType::None},
};

// The map of the prepared tokens, and the one message a failed parse writes.
class ScanOptionReader {
public:
    explicit ScanOptionReader(WideArgumentMap options) : options_(std::move(options)) {}

    bool Has(const wchar_t* name) const { return HasParam(options_, std::wstring(name)); }
    std::wstring First(const wchar_t* name) const { return GetParam(options_, std::wstring(name)); }
    std::vector<std::wstring> All(const wchar_t* name) const { return GetParamValues(options_, std::wstring(name)); }

    // An absent option keeps the field as it is.
    template <class Code, size_t Count>
    bool ReadChoice(const wchar_t* name, const AllowedValue<Code> (&allowed)[Count], Code& field) const
    {
        if (!Has(name))
            return true;
        const std::wstring value = First(name);
        for (const AllowedValue<Code>& entry : allowed) {
            if (value == entry.text) {
                field = entry.code;
                return true;
            }
        }
        return WrongValue(name);
    }

    bool ReadBoolean(const wchar_t* name, bool& field) const { return ReadChoice(name, BooleanValues, field); }

    // A decimal number read as stoi reads it (white space, sign, digits, the
    // rest ignored), widened with its sign and shifted left by `shift` bits;
    // a negative number keeps its two's-complement bits.
    bool ReadInteger(const wchar_t* name, unsigned shift, uint64_t& field) const
    {
        if (!Has(name))
            return true;
        const std::wstring value = First(name);
        wchar_t* end = nullptr;
        errno = 0;
        const long long number = std::wcstoll(value.c_str(), &end, 10);
        if (end == value.c_str() || errno == ERANGE || number < INT_MIN || number > INT_MAX)
            return WrongValue(name);
        field = static_cast<uint64_t>(number) << shift;
        return true;
    }

private:
    static bool WrongValue(const wchar_t* name)
    {
        Explain(std::wstring(L"Wrong value for ") + name + L"!");
        return false;
    }

    WideArgumentMap options_;
};

// Quotes are removed wherever they stand, so a quoted path loses them too.
WideArgumentMap PrepareOptions(const ArgumentTokens& args)
{
    std::vector<std::wstring> tokens;
    tokens.reserve(args.size());
    for (const std::string& token : args)
        tokens.push_back(StripQuotes(Utf8ToWide(token)));
    return ParseArguments(tokens);
}

constexpr unsigned MebibyteShift = 20;

}  // namespace

bool ParseScanOptions(const ArgumentTokens& args, ScanTask& task)
{
    const ScanOptionReader options(PrepareOptions(args));

    if (options.Has(L"path"))
        task.paths = options.All(L"path");
    else
        task.paths = {AllDrivesPath};

    if (!options.Has(L"custom"))
        return false;

    // The checking order decides which wrong option is reported.
    const bool valid = options.ReadChoice(L"infectedAction1", InfectedActions, task.firstActionForInfected) &&
                       options.ReadChoice(L"infectedAction2", InfectedActions, task.secondActionForInfected) &&
                       options.ReadChoice(L"suspiciousAction1", SuspiciousActions, task.firstActionForSuspicious) &&
                       options.ReadChoice(L"suspiciousAction2", SuspiciousActions, task.secondActionForSuspicious) &&
                       options.ReadChoice(L"rootkitAction", RootkitActions, task.actionForRootkits) &&
                       options.ReadBoolean(L"scanBootSectors", task.scanBootSectors) &&
                       options.ReadBoolean(L"scanRegistry", task.scanRegistry) &&
                       options.ReadBoolean(L"scanMemory", task.scanMemory) &&
                       options.ReadBoolean(L"smartScan", task.useSmartScan) &&
                       options.ReadBoolean(L"scanRootKits", task.scanForRootkits) &&
                       options.ReadBoolean(L"scanKeyloggers", task.scanForKeyLoggers) &&
                       options.ReadBoolean(L"scanPUA", task.scanPUA) &&
                       options.ReadBoolean(L"scanCookies", task.scanCookies) &&
                       options.ReadBoolean(L"scanArchives", task.scanArchives) &&
                       options.ReadBoolean(L"lowPriority", task.useLowPriorityLevel) &&
                       options.ReadInteger(L"maxArchiveScanDepth", 0, task.maxArchiveScanDepth) &&
                       options.ReadInteger(L"maxArchiveScanSize", MebibyteShift, task.maxArchiveScanSize) &&
                       options.ReadBoolean(L"scanEmailArchives", task.scanEmailArchives) &&
                       options.ReadChoice(L"extensionType", ExtensionTypes, task.extensionsScanType);
    if (!valid)
        return false;

    if (task.extensionsScanType == ExtensionsScanType::Custom) {
        if (!options.Has(L"customExt")) {
            Explain(L"Missing customExt parameter! You have to set this if extensionType is custom.");
            return false;
        }
        task.customExtensions = options.First(L"customExt");
    }
    return true;
}
