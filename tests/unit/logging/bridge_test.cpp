// The process-wide bridge: its lifetime follows the references held on it,
// writes reach log.dll only while somebody holds one, and without the
// library every call comes back at once.
#include "log_test_support.h"

#include "base/logging.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

namespace {

class BridgeTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_FALSE(logging::BridgeAvailable()) << "a reference leaked from another test"; }
    void TearDown() override { logging::test_hooks::SetLibraryPath({}); }

    LogFolder log_;
};

TEST_F(BridgeTest, OverlappingHoldersShareOneLibraryFreedWithTheLastRelease)
{
    ASSERT_FALSE(LogLibraryLoaded());
    logging::BridgeReference first;
    logging::BridgeReference second;

    first.Acquire();
    ASSERT_NE(first.Bridge(), nullptr);
    EXPECT_TRUE(first.Bridge()->Loaded());
    EXPECT_TRUE(LogLibraryLoaded());
    EXPECT_TRUE(logging::BridgeAvailable());

    second.Acquire();
    EXPECT_EQ(second.Bridge(), first.Bridge());
    EXPECT_EQ(second.Bridge()->Library(), GetModuleHandleW(L"log.dll"));

    first.Release();
    EXPECT_EQ(first.Bridge(), nullptr);
    EXPECT_EQ(first.Count(), 0u);
    EXPECT_TRUE(LogLibraryLoaded());
    EXPECT_TRUE(logging::BridgeAvailable());

    second.Release();
    EXPECT_FALSE(LogLibraryLoaded());
    EXPECT_FALSE(logging::BridgeAvailable());
}

TEST_F(BridgeTest, ReleaseGivesBackEveryReferenceTheHolderTook)
{
    logging::BridgeReference holder;
    holder.Acquire();
    holder.Acquire();
    holder.Acquire();
    EXPECT_EQ(holder.Count(), 3u);
    holder.Release();
    EXPECT_EQ(holder.Count(), 0u);
    EXPECT_FALSE(logging::BridgeAvailable());
    EXPECT_FALSE(LogLibraryLoaded());
    holder.Release();  // nothing left to give back
    EXPECT_FALSE(logging::BridgeAvailable());
}

TEST_F(BridgeTest, TheLibraryIsLoadedAgainAfterATimeWithoutReferences)
{
    for (int round = 0; round < 3; ++round) {
        logging::ScopedBridgeReference reference;
        ASSERT_TRUE(LogLibraryLoaded());
        logging::Diagnostic(logging::level::Info, L"Round", L"round %d", round);
    }
    EXPECT_FALSE(LogLibraryLoaded());
    const auto lines = log_.Lines();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[2].message, "round 2");
}

TEST_F(BridgeTest, DiagnosticWritesOnlyWhileSomebodyHoldsTheBridge)
{
    logging::Diagnostic(logging::level::Failure, L"Outside", L"not written");
    EXPECT_FALSE(LogLibraryLoaded());
    {
        logging::ScopedBridgeReference reference;
        logging::Diagnostic(logging::level::Failure, L"Inside", L"Error opening key %ld", 2L);
        logging::Diagnostic(logging::level::Info, L"Inside", L"Reg key %s", L"C:\\Program Files\\Agent\\");
        logging::Diagnostic(logging::level::Detail, L"Inside", L"Failed to load subnode %s", L"data/\u00e9t\u00e9");
        logging::Diagnostic(logging::level::Dump, L"Inside", L"%s", L"{\"a\":1}\n");
    }
    logging::Diagnostic(logging::level::Failure, L"Outside", L"not written either");

    const auto lines = log_.Lines();
    ASSERT_EQ(lines.size(), 4u);
    struct Expected {
        const char* level;
        const char* message;
    };
    const Expected expected[] = {{"ERROR", "Error opening key 2"},
                                 {"INFO", "Reg key C:\\Program Files\\Agent\\"},
                                 {"DETAIL", "Failed to load subnode data/\xC3\xA9t\xC3\xA9"},
                                 {"TRACE", "{\"a\":1}"}};
    for (size_t i = 0; i < lines.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(lines[i].level, expected[i].level);
        EXPECT_EQ(lines[i].message, expected[i].message);
        EXPECT_EQ(lines[i].function, "Inside");
        EXPECT_EQ(lines[i].module, "logging_tests.exe");  // the module that holds the console's code
        EXPECT_EQ(lines[i].processId, GetCurrentProcessId());
        EXPECT_EQ(lines[i].threadId, GetCurrentThreadId());
    }
}

TEST_F(BridgeTest, WriteLineHandsItsArgumentsToTheLibraryUnchanged)
{
    logging::ScopedBridgeReference reference;
    const DWORD level = 16;
    EXPECT_EQ(logging::WriteLine(reference.Bridge(), 0, &level, GetModuleHandleW(L"kernel32.dll"), L"Writer::Write",
                                 L"%s=%d, %s", L"count", 42, L"done"),
              S_OK);
    EXPECT_EQ(logging::WriteLine(nullptr, 0, &level, nullptr, L"Writer::Write", L"no bridge"), logging::NoLogWrite);

    const auto lines = log_.Lines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].level, "INFO");
    EXPECT_TRUE(lines[0].module == "kernel32.dll" || lines[0].module == "KERNEL32.dll") << lines[0].module;
    EXPECT_EQ(lines[0].function, "Writer::Write");
    EXPECT_EQ(lines[0].message, "count=42, done");
}

TEST_F(BridgeTest, WithoutTheLibraryEveryCallComesBackAtOnce)
{
    TempFolder empty;
    logging::test_hooks::SetLibraryPath(empty / L"log.dll");

    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 50; ++i) {
        logging::ScopedBridgeReference reference;
        ASSERT_NE(reference.Bridge(), nullptr);
        EXPECT_FALSE(reference.Bridge()->Loaded());
        const DWORD level = 4;
        EXPECT_EQ(logging::WriteLine(reference.Bridge(), 0, &level, nullptr, L"F", L"%d", i), logging::NoLogWrite);
        logging::Diagnostic(logging::level::Failure, L"F", L"line %d", i);
    }
    const auto elapsed = std::chrono::steady_clock::now() - start;
    // Each round loads nothing and writes nothing; only the failed load costs.
    EXPECT_LT(elapsed, std::chrono::seconds(5));
    EXPECT_FALSE(LogLibraryLoaded());
    EXPECT_FALSE(logging::BridgeAvailable());
    EXPECT_TRUE(log_.Text().empty());
}

TEST(LogLibrary, APathWithoutAFolderLoadsNothing)
{
    EXPECT_EQ(logging::LibraryPathBeside(L"C:\\agent\\Product.Console.exe"), L"C:\\agent\\log.dll");
    EXPECT_EQ(logging::LibraryPathBeside(L"\\Product.Console.exe"), L"\\log.dll");
    // log.dll lies beside this program, so the search path would find it by
    // its bare name: only the rule keeps these from loading it.
    for (const wchar_t* modulePath : {L"Product.Console.exe", L"C:/agent/Product.Console.exe", L""}) {
        EXPECT_EQ(logging::LibraryPathBeside(modulePath), L"");
        logging::CLogDLL bridge(logging::LibraryPathBeside(modulePath));
        EXPECT_FALSE(bridge.Loaded());
        EXPECT_FALSE(LogLibraryLoaded());
        const DWORD level = 4;
        EXPECT_EQ(logging::WriteLine(&bridge, 0, &level, nullptr, L"F", L"x"), logging::NoLogWrite);
    }
}

TEST(LogLibrary, ALibraryWithoutAWriteEntryGetsTheDoNothingWrite)
{
    // A copy of TesJson.dll stands in for a library without the log entries.
    TempFolder folder;
    ASSERT_TRUE(CopyInto(TestBinaryFolder() + L"\\TesJson.dll", folder / L"log.dll"));
    {
        logging::CLogDLL bridge(folder / L"log.dll");
        EXPECT_TRUE(bridge.Loaded());
        const DWORD level = 4;
        EXPECT_EQ(logging::WriteLine(&bridge, 0, &level, nullptr, L"F", L"x"), logging::NoLogWrite);
    }
    EXPECT_FALSE(LogLibraryLoaded());
}

TEST_F(BridgeTest, ThreadsAcquireWriteAndReleaseTogether)
{
    constexpr int Threads = 4;
    constexpr int LinesEach = 50;
    std::vector<std::thread> threads;
    for (int t = 0; t < Threads; ++t) {
        threads.emplace_back([t] {
            for (int i = 0; i < LinesEach; ++i) {
                logging::ScopedBridgeReference reference;
                logging::Diagnostic(logging::level::Info, L"Worker", L"thread %d line %d", t, i);
            }
        });
    }
    for (auto& thread : threads)
        thread.join();

    EXPECT_FALSE(logging::BridgeAvailable());
    EXPECT_FALSE(LogLibraryLoaded());
    const auto lines = log_.Lines();
    EXPECT_EQ(lines.size(), static_cast<size_t>(Threads * LinesEach));
    std::vector<int> next(Threads, 0);
    for (const auto& line : lines) {
        int t = -1, i = -1;
        ASSERT_EQ(std::sscanf(line.message.c_str(), "thread %d line %d", &t, &i), 2) << line.message;
        ASSERT_TRUE(t >= 0 && t < Threads);
        EXPECT_EQ(i, next[t]++);  // each thread's lines in its own order
    }
}

}  // namespace
