#pragma once
// The guard's report file: a sequence of records, each a 4-byte
// little-endian length and that many enciphered bytes. The deciphered text
// is the eight fields, each followed by "|", padded with spaces to a
// multiple of 8 bytes. Shared by the guard (writing) and the report reader.
#include "dllguard/report/guard_event.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace dllguard {

// The key every record is enciphered with.
std::string_view ReportKey();

// "f0|f1|...|f7|" and the padding spaces.
std::string RecordText(const DllProtectInfo& event);

// The enciphered record text; false when the text cannot be enciphered
// (only an empty text, which the separators rule out).
bool EncipherRecord(const DllProtectInfo& event, std::string& body);

std::array<char, 4> RecordLengthPrefix(uint32_t bodyLength);

enum class RecordStatus {
    Valid,
    Truncated,  // the file ends inside the record; nothing follows it
    Corrupt,    // the record's length or text is not what a writer produces
};

struct ReportRecord {
    uint64_t offset = 0;  // of the length field in the file
    uint32_t length = 0;  // of the enciphered body, as the length field says
    RecordStatus status = RecordStatus::Valid;
    DllProtectInfo event;  // for valid records
    std::string problem;   // for the others: what is wrong, in words
};

// Every record of a report file's content, in order. A truncated record
// ends the list; after a corrupt one reading goes on when its length still
// fits in the file.
std::vector<ReportRecord> ParseReport(std::string_view content);

}  // namespace dllguard
