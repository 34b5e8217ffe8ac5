#include "dllguard/trace/trace_line.h"
#include "dllguard/trace/trace_settings.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using dllguard::trace::AccessWord;
using dllguard::trace::ParseTraceSettings;

const AccessWord kCode = {'T', 'E', 'S', 'T'};

TEST(TraceSettingsTest, LevelLines)
{
    struct Case {
        std::string text;
        uint32_t level;
    };
    const Case cases[] = {
        {"", 0},
        {"DLLPROTECT=3", 3},
        {"DLLPROTECT=3abc", 3},
        {"dllprotect=15\r\n", 15},
        {"DllProtect_anything=2", 2},  // only the first 10 characters name it
        {"*=8", 8},
        {"DLLPROTECT=", 0},
        {"DLLPROTECT= 3", 0},  // digits must follow "=" at once
        {"DLLPROTECT 3", 0},   // no "="
        {"OTHER=7\nDLLPROTECT=1\n", 1},
        {"DLLPROTECT=1\nDLLPROTECT=4\n", 4},  // the last line wins
        {"# DLLPROTECT=3", 0},
        {"DLLPROTECT=4294967295", 4294967295u},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ParseTraceSettings(c.text, kCode).level, c.level) << c.text;
}

TEST(TraceSettingsTest, KeyLinesCombineIntoTheAccessWord)
{
    EXPECT_EQ(ParseTraceSettings("DLLPROTECT=1", kCode).access, kCode);
    EXPECT_EQ(ParseTraceSettings("key=TEST", kCode).access, AccessWord{});
    EXPECT_EQ(ParseTraceSettings("KEY=TEST\r\n", kCode).access, AccessWord{});
    EXPECT_EQ(ParseTraceSettings("key=TESTandmore", kCode).access, AccessWord{});  // four characters count

    const AccessWord wrong = ParseTraceSettings("key=TESX", kCode).access;
    EXPECT_EQ(wrong, (AccessWord{0, 0, 0, 'T' ^ 'X'}));
    const AccessWord shortKey = ParseTraceSettings("key=TE\r\n", kCode).access;
    EXPECT_EQ(shortKey, (AccessWord{0, 0, 'S', 'T'}));
}

TEST(TraceSettingsTest, LinesAreReadInPiecesOf511Characters)
{
    // The level line's "=" lies beyond the first piece: the rest is a line of its own.
    const std::string longLine = "DLLPROTECT" + std::string(501, ' ') + "DLLPROTECT=6";
    EXPECT_EQ(ParseTraceSettings(longLine, kCode).level, 6u);
    // The digits fall into the next piece: the level line sets 0.
    const std::string cutLevel = "DLLPROTECT=7\nDLLPROTECT" + std::string(500, ' ') + "=5";
    EXPECT_EQ(ParseTraceSettings(cutLevel, kCode).level, 0u);
}

TEST(TraceSettingsTest, ScrambleByteFromTheAccessWord)
{
    EXPECT_EQ(dllguard::trace::ScrambleByte(AccessWord{}), 0);
    // (first + second - fourth) mod 256, minus third, mod 256
    EXPECT_EQ(dllguard::trace::ScrambleByte(AccessWord{10, 20, 3, 4}), 23);
    EXPECT_EQ(dllguard::trace::ScrambleByte(AccessWord{0, 0, 1, 0}), 255);
    EXPECT_EQ(dllguard::trace::ScrambleByte(AccessWord{200, 100, 0, 0}), 44);
    EXPECT_NE(dllguard::trace::ScrambleByte(dllguard::trace::ProgramAccessCode()), 0)
        << "without a key line the program's lines are scrambled";
}

TEST(TraceLineTest, PrefixAndLineFeed)
{
    EXPECT_EQ(dllguard::trace::BuildLine(1234, 56, "[P] ", "text"), "[0000001234][000056] x [P] text\n");
    EXPECT_EQ(dllguard::trace::BuildLine(4294967295u, 1234567, L"", L"w"), L"[4294967295][1234567] x w\n");
}

TEST(TraceLineTest, NarrowLinesAreCutTo8191Bytes)
{
    const std::string line = dllguard::trace::BuildLine(1, 2, "prefix ", std::string(10000, 'a'));
    ASSERT_EQ(line.size(), 8191u);
    EXPECT_EQ(line.back(), '\n');
    EXPECT_EQ(line[8189], 'a');
    const std::string fits = dllguard::trace::BuildLine(1, 2, "", std::string(8191 - 23 - 1, 'a'));
    EXPECT_EQ(fits.size(), 8191u);
    EXPECT_EQ(fits.substr(0, 24), "[0000000001][000002] x a");
}

TEST(TraceLineTest, ScramblingIsAnXorOfEveryCharacter)
{
    std::string narrow = "ab\n";
    dllguard::trace::Scramble(narrow, 0x21);
    EXPECT_EQ(narrow, std::string("\x40\x43\x2b"));
    std::wstring wide = L"ab\n";
    dllguard::trace::Scramble(wide, 0x21);
    EXPECT_EQ(wide, L"\x40\x43\x2b");
    std::string clear = "ab";
    dllguard::trace::Scramble(clear, 0);
    EXPECT_EQ(clear, "ab");
}

}  // namespace
