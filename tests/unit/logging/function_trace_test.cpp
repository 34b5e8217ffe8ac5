// Function traces: names cut to their room, entry and exit lines with the
// elapsed time.
#include "log_test_support.h"

#include "base/function_trace.h"
#include "base/logging.h"
#include "base/text_conversion.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace {

std::wstring NameOfLength(size_t length)
{
    std::wstring name;
    for (size_t i = 0; i < length; ++i)
        name += static_cast<wchar_t>(L'a' + i % 26);
    return name;
}

TEST(FunctionTraceNames, DisplayAndPlainNamesAreCutToTheirRoom)
{
    LogFolder log;  // keeps the lines out of the default folder
    struct Case {
        size_t length;
        size_t display;  // characters kept before "()"
        size_t plain;
    };
    const Case cases[] = {{0, 0, 0},       {12, 12, 12},    {257, 257, 257}, {258, 257, 258},
                          {259, 257, 259}, {260, 257, 259}, {300, 257, 259}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.length);
        const std::wstring name = NameOfLength(c.length);
        logging::FunctionTrace trace(name.c_str());
        EXPECT_EQ(std::wstring(trace.DisplayName()), name.substr(0, c.display) + L"()");
        EXPECT_EQ(std::wstring(trace.PlainName()), name.substr(0, c.plain));
    }
}

TEST(FunctionTraceLines, AThreeHundredCharacterNameIsWrittenCut)
{
    LogFolder log;
    const std::wstring name = NameOfLength(300);
    { logging::FunctionTrace trace(name.c_str()); }

    const auto lines = log.Lines();
    ASSERT_EQ(lines.size(), 2u);
    const std::string plain = WideToUtf8(name.substr(0, 259));
    const std::string display = WideToUtf8(name.substr(0, 257)) + "()";
    EXPECT_EQ(lines[0].function, plain);
    EXPECT_EQ(lines[0].level, "TRACE");
    EXPECT_EQ(lines[0].message, "-> " + display);
    EXPECT_EQ(lines[1].function, plain);
    EXPECT_EQ(lines[1].level, "TRACE");
    EXPECT_EQ(lines[1].message.rfind("<- " + display + " [", 0), 0u) << lines[1].message;
}

TEST(FunctionTraceLines, TheExitLineCarriesTheElapsedMilliseconds)
{
    LogFolder log;
    {
        logging::FunctionTrace trace(L"Product::TelemetryST::TelemetryApp::AddToolVersion");
        Sleep(60);
    }
    const auto lines = log.Lines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].message, "-> Product::TelemetryST::TelemetryApp::AddToolVersion()");
    int elapsed = -1;
    ASSERT_EQ(std::sscanf(lines[1].message.c_str(), "<- Product::TelemetryST::TelemetryApp::AddToolVersion() [%d]",
                          &elapsed),
              1)
        << lines[1].message;
    EXPECT_GE(elapsed, 50);
    EXPECT_LT(elapsed, 10000);
}

TEST(FunctionTraceLines, NestedTracesAreIndentedWhileTheLogStaysOpen)
{
    LogFolder log;
    {
        logging::ScopedBridgeReference open;
        logging::FunctionTrace outer(L"Outer");
        {
            logging::FunctionTrace inner(L"Inner");
            logging::Diagnostic(logging::level::Info, L"Inner", L"working");
        }
    }
    const auto lines = log.Lines();
    ASSERT_EQ(lines.size(), 5u);
    const char* expected[] = {"-> Outer()", "  -> Inner()", "    working", "  <- Inner() [", "<- Outer() ["};
    for (size_t i = 0; i < lines.size(); ++i)
        EXPECT_EQ(lines[i].message.rfind(expected[i], 0), 0u) << lines[i].message;
}

TEST(FunctionTraceLines, WithoutTheLibraryATraceWritesNothing)
{
    LogFolder log;
    TempFolder empty;
    logging::test_hooks::SetLibraryPath(empty / L"log.dll");
    {
        logging::FunctionTrace trace(L"Quiet");
        EXPECT_STREQ(trace.DisplayName(), L"Quiet()");
    }
    logging::test_hooks::SetLibraryPath({});
    EXPECT_TRUE(log.Text().empty());
    EXPECT_FALSE(LogLibraryLoaded());
}

}  // namespace
