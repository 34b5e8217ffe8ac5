#include "dllguard/report/report_record.h"

#include "dllguard/report/blowfish.h"

#include <fmt/format.h>

namespace dllguard {
namespace {

constexpr size_t kBlockSize = 8;
constexpr size_t kLengthSize = 4;

const Blowfish& ReportCipher()
{
    static const Blowfish cipher(ReportKey());
    return cipher;
}

uint32_t ReadLength(std::string_view bytes)
{
    const auto* b = reinterpret_cast<const unsigned char*>(bytes.data());
    return uint32_t(b[0]) | (uint32_t(b[1]) << 8) | (uint32_t(b[2]) << 16) | (uint32_t(b[3]) << 24);
}

// Splits a deciphered record text into the eight fields; false when it is not
// eight "|"-terminated fields followed by fewer than 8 padding spaces.
bool SplitFields(std::string_view text, DllProtectInfo& event, std::string& problem)
{
    const size_t last = text.find_last_not_of(' ');
    if (last == std::string_view::npos || text[last] != '|' || text.size() - last - 1 >= kBlockSize) {
        problem = "the deciphered text does not end in a field separator and padding";
        return false;
    }
    text = text.substr(0, last + 1);
    size_t field = 0;
    while (!text.empty()) {
        const size_t separator = text.find('|');
        if (field == DllProtectInfo::kFieldCount) {
            problem = "the deciphered text has more than eight fields";
            return false;
        }
        event.*DllProtectInfo::kFields[field++] = std::string(text.substr(0, separator));
        text.remove_prefix(separator + 1);
    }
    if (field != DllProtectInfo::kFieldCount) {
        problem = fmt::format("the deciphered text has {} fields instead of eight", field);
        return false;
    }
    return true;
}

}  // namespace

std::string_view ReportKey() { return "tG7#qZ"; }

std::string RecordText(const DllProtectInfo& event)
{
    std::string text;
    for (auto field : DllProtectInfo::kFields)
        text.append(event.*field).push_back('|');
    text.append((kBlockSize - text.size() % kBlockSize) % kBlockSize, ' ');
    return text;
}

bool EncipherRecord(const DllProtectInfo& event, std::string& body)
{
    return EncipherCbc(ReportCipher(), RecordText(event), body);
}

std::array<char, 4> RecordLengthPrefix(uint32_t bodyLength)
{
    return {static_cast<char>(bodyLength & 0xFF), static_cast<char>((bodyLength >> 8) & 0xFF),
            static_cast<char>((bodyLength >> 16) & 0xFF), static_cast<char>(bodyLength >> 24)};
}

std::vector<ReportRecord> ParseReport(std::string_view content)
{
    std::vector<ReportRecord> records;
    uint64_t offset = 0;
    while (!content.empty()) {
        ReportRecord record;
        record.offset = offset;
        if (content.size() < kLengthSize) {
            record.status = RecordStatus::Truncated;
            record.problem = fmt::format("the file ends {} byte(s) into the record's length field", content.size());
            records.push_back(std::move(record));
            break;
        }
        record.length = ReadLength(content);
        content.remove_prefix(kLengthSize);
        offset += kLengthSize;

        const bool fits = record.length <= content.size();
        if (record.length == 0 || record.length % kBlockSize != 0) {
            record.status = RecordStatus::Corrupt;
            record.problem = fmt::format("length {} is not a positive multiple of 8", record.length);
            records.push_back(std::move(record));
            if (!fits)
                break;  // no way to find the next record
        } else if (!fits) {
            record.status = RecordStatus::Truncated;
            record.problem =
                fmt::format("the file ends {} byte(s) into a record of {} bytes", content.size(), record.length);
            records.push_back(std::move(record));
            break;
        } else {
            std::string text;
            // The length is a whole number of blocks here: the deciphering cannot refuse.
            static_cast<void>(DecipherCbc(ReportCipher(), content.substr(0, record.length), text));
            if (!SplitFields(text, record.event, record.problem)) {
                record.status = RecordStatus::Corrupt;
                record.event = DllProtectInfo();
            }
            records.push_back(std::move(record));
        }
        content.remove_prefix(records.back().length);
        offset += records.back().length;
    }
    return records;
}

}  // namespace dllguard
