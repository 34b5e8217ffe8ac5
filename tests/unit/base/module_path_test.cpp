#include "base/module_path.h"

#include <gtest/gtest.h>

TEST(ModuleFileName, WholePathOrNoneAtTheLimit)
{
    const std::wstring path = ModuleFileName(nullptr);
    ASSERT_FALSE(path.empty());
    EXPECT_EQ(ModuleFileName(nullptr, MAX_PATH), path);  // a short path fits MAX_PATH
    const DWORD length = static_cast<DWORD>(path.size());
    EXPECT_EQ(ModuleFileName(nullptr, length + 1), path);
    // A buffer the path fills (no room for its null) gives no cut-off path.
    EXPECT_EQ(ModuleFileName(nullptr, length), L"");
    EXPECT_EQ(ModuleFileName(nullptr, 1), L"");
}

TEST(ModuleFileName, OfThisCodeIsTheExecutable)
{
    EXPECT_EQ(ModuleFileName(ModuleOfThisCode()), ModuleFileName(nullptr));
}

TEST(FolderOf, LastSeparatorOfEitherKind)
{
    const std::pair<std::wstring, std::wstring> cases[] = {
        {L"C:\\a\\b.exe", L"C:\\a"},
        {L"C:/a/b.exe", L"C:/a"},
        {L"C:\\a/b\\c.exe", L"C:\\a/b"},
        {L"b.exe", L""},
        {L"", L""},
    };
    for (const auto& [path, folder] : cases)
        EXPECT_EQ(FolderOf(path), folder) << path;
}

TEST(FolderWithBackslash, AsTheShellPathFunctionsLeaveIt)
{
    const std::pair<std::wstring, std::wstring> cases[] = {
        {L"C:\\a\\b.exe", L"C:\\a\\"},
        {L"C:\\b.exe", L"C:\\"},
        {L"C:\\a b\\c\\d.dll", L"C:\\a b\\c\\"},
    };
    for (const auto& [path, folder] : cases)
        EXPECT_EQ(FolderWithBackslash(path), folder) << path;
}
