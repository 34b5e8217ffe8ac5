#include "dllguard/trust/path_within.h"
#include "temp_folder.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using dllguard::LiesWithin;

TEST(PathWithinTest, ComponentByComponentWithoutEscapes)
{
    TempFolder folder;
    const std::wstring root = folder.Path();
    folder.MakeFolder(L"Windows\\System32\\drivers");
    folder.MakeFolder(L"Windows2");
    ASSERT_TRUE(WriteBytes(folder / L"Windows\\notes.txt", "x"));
    const std::wstring windows = root + L"\\Windows";
    const std::wstring system32 = windows + L"\\System32";

    struct Case {
        const char* what;
        std::wstring file;
        std::wstring directory;
        bool within;
    };
    const Case cases[] = {
        {"file in the directory", system32 + L"\\a.dll", system32, true},
        {"file in a subdirectory", system32 + L"\\drivers\\a.sys", system32, true},
        {"subdirectory that does not exist yet", system32 + L"\\new\\a.dll", system32, true},
        {"forward slashes", root + L"/Windows/System32/a.dll", system32, true},
        {"mixed separators in the directory", system32 + L"\\a.dll", root + L"/Windows\\System32/", true},
        {"letter case ignored", root + L"\\WINDOWS\\system32\\A.DLL", system32, true},
        {"directory with a trailing separator", system32 + L"\\a.dll", system32 + L"\\", true},
        {"extended-length prefix", L"\\\\?\\" + system32 + L"\\a.dll", system32, true},
        {"dot steps", system32 + L"\\.\\drivers\\..\\a.dll", system32, true},
        {"'..' out of the directory", system32 + L"\\..\\a.dll", system32, false},
        {"'..' out, still within the parent", system32 + L"\\..\\a.dll", windows, true},
        {"'..' twice", system32 + L"\\..\\..\\a.dll", windows, false},
        {"prefix that is no component boundary", root + L"\\Windows2\\a.dll", windows, false},
        {"name that only starts like the directory", root + L"\\Windows.dll", windows, false},
        {"the directory itself", system32, system32, false},
        {"the directory itself with a separator", system32 + L"\\", system32, false},
        {"directory that does not exist", root + L"\\Missing\\a.dll", root + L"\\Missing", false},
        {"directory that is a file", windows + L"\\notes.txt\\a.dll", windows + L"\\notes.txt", false},
        {"empty directory", system32 + L"\\a.dll", L"", false},
        {"empty file", L"", system32, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(LiesWithin(c.file, c.directory), c.within) << c.what;
}

TEST(PathWithinTest, RelativeNamesStartAtTheCurrentDirectory)
{
    TempFolder folder;
    folder.MakeFolder(L"lib");
    wchar_t previous[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, previous);
    ASSERT_TRUE(SetCurrentDirectoryW((folder / L"lib").c_str()));
    EXPECT_TRUE(LiesWithin(L"a.dll", folder / L"lib"));
    EXPECT_TRUE(LiesWithin(L"sub\\a.dll", folder / L"lib"));
    EXPECT_FALSE(LiesWithin(L"..\\a.dll", folder / L"lib"));
    SetCurrentDirectoryW(previous);
}

TEST(PathWithinTest, TheSystemDirectoryLiesWithinTheWindowsDirectory)
{
    wchar_t system[MAX_PATH], windows[MAX_PATH];
    ASSERT_GT(GetSystemDirectoryW(system, MAX_PATH), 0u);
    ASSERT_GT(GetWindowsDirectoryW(windows, MAX_PATH), 0u);
    EXPECT_TRUE(LiesWithin(std::wstring(system) + L"\\drivers\\x.sys", system));
    EXPECT_TRUE(LiesWithin(std::wstring(system) + L"\\x.dll", windows));
}

TEST(PathWithinTest, FullyQualifiedAsTheLoaderSeesIt)
{
    struct Case {
        const wchar_t* path;
        bool fullyQualified;
    };
    const Case cases[] = {
        {L"C:\\Windows\\a.dll", true},
        {L"c:/Windows/a.dll", true},
        {L"\\\\server\\share\\a.dll", true},
        {L"//server/share/a.dll", true},
        {L"\\\\?\\C:\\Windows\\a.dll", false},  // device paths: no "." or ".." resolved
        {L"\\\\.\\C:\\Windows\\a.dll", false},
        {L"//?/C:/Windows/a.dll", false},
        {L"\\\\?\\UNC\\server\\share\\a.dll", false},
        {L"\\\\server.example\\share\\a.dll", true},
        {L"a.dll", false},
        {L"sub\\a.dll", false},
        {L".\\a.dll", false},
        {L"..\\a.dll", false},
        {L"C:a.dll", false},          // the drive's own current directory
        {L"C:", false},
        {L"\\a.dll", false},          // the current drive
        {L"/a.dll", false},
        {L"\\", false},
        {L"1:\\a.dll", false},
        {L"", false},
    };
    for (const Case& c : cases) {
        const std::wstring path = c.path;
        EXPECT_EQ(dllguard::IsFullyQualifiedPath(path), c.fullyQualified)
            << std::string(path.begin(), path.end());
    }
}

TEST(PathWithinTest, ContinuingByNameNeedsNoDirectory)
{
    EXPECT_TRUE(dllguard::PathContinues(L"C:\\No\\Such\\Folder\\a.dll", L"C:\\no\\such"));
    EXPECT_FALSE(dllguard::PathContinues(L"C:\\No\\Such2\\a.dll", L"C:\\No\\Such"));
    EXPECT_FALSE(dllguard::PathContinues(L"C:\\No\\Such\\..\\a.dll", L"C:\\No\\Such"));
}

TEST(PathWithinTest, ShortNamesInTheirLongForm)
{
    TempFolder folder;
    const std::wstring file = folder.MakeFolder(L"A Long Folder Name") + L"\\a.dll";
    ASSERT_TRUE(WriteBytes(file, "x"));
    wchar_t shortForm[MAX_PATH];
    const DWORD length = GetShortPathNameW(file.c_str(), shortForm, MAX_PATH);
    ASSERT_GT(length, 0u);
    ASSERT_NE(std::wstring(shortForm, length).find(L'~'), std::wstring::npos) << "no short name made";
    EXPECT_EQ(dllguard::LongPathForm(std::wstring(shortForm, length)), file);
    EXPECT_EQ(dllguard::LongPathForm(file), file);
    EXPECT_EQ(dllguard::LongPathForm(folder / L"MISSIN~1\\a.dll"), L"");
}

TEST(PathWithinTest, NormalisedForm)
{
    EXPECT_EQ(dllguard::NormalisePath(L"C:/a/b/../c/"), L"C:\\a\\c");
    EXPECT_EQ(dllguard::NormalisePath(L"\\\\?\\C:\\a\\b"), L"C:\\a\\b");
    EXPECT_EQ(dllguard::NormalisePath(L"\\\\?\\UNC\\server\\share\\a"), L"\\\\server\\share\\a");
    EXPECT_EQ(dllguard::NormalisePath(L"C:\\"), L"C:\\");
    EXPECT_EQ(dllguard::NormalisePath(L""), L"");
}

}  // namespace
