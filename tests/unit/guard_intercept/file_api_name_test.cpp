// Narrow library names read as the system's narrow file functions read them.
#include "dllguard/intercept/file_api_name.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>

namespace {

std::string Encoded(UINT codePage, const std::wstring& text)
{
    const int size = WideCharToMultiByte(codePage, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(codePage, 0, text.c_str(), -1, bytes.data(), size, nullptr, nullptr);
    bytes.pop_back();
    return bytes;
}

const std::wstring kName = L"C:\\Caf\u00e9\\na\u00efve.dll";

TEST(FileApiNameTest, ReadInTheAnsiCodePageNotAsUtf8)
{
    const std::string ansi = Encoded(CP_ACP, kName);
    ASSERT_NE(ansi, Encoded(CP_UTF8, kName)) << "the ANSI code page " << GetACP() << " is UTF-8 here";
    std::wstring wide;
    ASSERT_TRUE(dllguard::FileApiNameToWide(ansi.c_str(), wide));
    EXPECT_EQ(wide, kName);
}

TEST(FileApiNameTest, ReadInTheOemCodePageAfterSetFileApisToOem)
{
    const std::string oem = Encoded(CP_OEMCP, kName);
    ASSERT_NE(oem, Encoded(CP_ACP, kName)) << "OEM " << GetOEMCP() << " and ANSI " << GetACP() << " agree here";
    SetFileApisToOEM();
    std::wstring wide;
    const bool converted = dllguard::FileApiNameToWide(oem.c_str(), wide);
    SetFileApisToANSI();
    ASSERT_TRUE(converted);
    EXPECT_EQ(wide, kName);
}

TEST(FileApiNameTest, EmptyName)
{
    std::wstring wide = L"x";
    ASSERT_TRUE(dllguard::FileApiNameToWide("", wide));
    EXPECT_EQ(wide, L"");
}

}  // namespace
