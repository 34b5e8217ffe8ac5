// The support module's events as each waiting command acts on them: what is
// printed and how the wait flags change.
#include "captured_output.h"

#include "commands/support/support_notifications.h"

#include <gtest/gtest.h>

#include <string>

namespace {

constexpr char State[] = "Product.Support.State";
constexpr char Ended[] = "Product.Support.SessionEnded";

constexpr char TwoDeliveries[] = R"({"status": "finished", "deliveredTo": [
    {"type": "local", "path": "C:\\out\\s.zip", "error": 0},
    {"type": "httpPost", "error": 12002, "httpResponse": {"code": 504}}]})";

struct EventCase {
    const char* what;
    SupportNotificationHandler handler;
    bool waiting;  // when the event arrives
    const char* name;
    const char* data;
    const wchar_t* printed;
    bool completed;  // afterwards; `waiting` is then down exactly when completed
};

const EventCase Cases[] = {
    // "Support.StartSession"
    {"pending keeps waiting", StartSessionHandler, true, State, R"({"state": "pending"})", L"", false},
    {"active succeeds", StartSessionHandler, true, State, R"({"state": "active"})",
     L"Operation completed.\nStatus: success\n", true},
    {"other state ends silently", StartSessionHandler, true, State, R"({"state": "idle"})", L"", true},
    {"state outside the wait", StartSessionHandler, false, State, R"({"state": "active"})", L"", false},
    {"state unparsable", StartSessionHandler, true, State, "{state", L"", false},
    {"state missing", StartSessionHandler, true, State, R"({"status": "active"})", L"", false},
    {"ended fails the start", StartSessionHandler, true, Ended, R"({"status": "finished"})",
     L"Operation completed.\nStatus: fail\n", true},
    {"ended outside the wait", StartSessionHandler, false, Ended, "", L"", true},
    {"other event", StartSessionHandler, true, "Tesdk.UpdateFinished", R"({"state": "active"})", L"", false},
    // "Support.Collect" and "Support.EndSession"
    {"two deliveries", SessionEndedHandler, true, Ended, TwoDeliveries,
     L"Operation completed.\nPath: C:\\out\\s.zip\nStatus: success\n"
     L"Operation completed.\nPath: \nStatus: fail\n",
     true},
    {"delivery without error", SessionEndedHandler, true, Ended,
     R"({"status": "finished", "deliveredTo": [{"type": "local", "path": "C:\\a"}]})",
     L"Operation completed.\nStatus: fail\n", true},
    {"finished without deliveries", SessionEndedHandler, true, Ended, R"({"status": "finished", "deliveredTo": []})",
     L"", true},
    {"session error", SessionEndedHandler, true, Ended, R"({"status": "error"})", L"Operation completed.\nStatus: fail\n",
     true},
    {"other status", SessionEndedHandler, true, Ended, R"({"status": "aborted"})", L"", true},
    {"ended unparsable", SessionEndedHandler, true, Ended, "not json", L"", true},
    {"ended without status", SessionEndedHandler, true, Ended, "{}", L"", true},
    {"deliveries outside the wait", SessionEndedHandler, false, Ended, TwoDeliveries, L"", true},
    {"state is not for the collection", SessionEndedHandler, true, State, R"({"state": "idle"})", L"", false},
    // "Support.AbortSession"
    {"aborted", AbortHandler, true, Ended, R"({"status": "aborted"})", L"Done.\n", true},
    {"force-aborted under abort", AbortHandler, true, Ended, R"({"status": "forceAborted"})",
     L"Done. Force Aborted.\n", true},
    {"abort, other status", AbortHandler, true, Ended, R"({"status": "finished"})", L"", true},
    {"abort outside the wait", AbortHandler, false, Ended, R"({"status": "aborted"})", L"", true},
    {"abort ignores state", AbortHandler, true, State, R"({"state": "idle"})", L"", false},
    // "Support.ForceAbortSession"
    {"force-aborted", ForceAbortHandler, true, Ended, R"({"status": "forceAborted"})", L"Done.\n", true},
    {"aborted under force-abort", ForceAbortHandler, true, Ended, R"({"status": "aborted"})", L"", true},
    {"force-abort unparsable", ForceAbortHandler, true, Ended, "[", L"", true},
};

TEST(SupportNotificationsTest, EachEventAsItsCommandSeesIt)
{
    for (const EventCase& event : Cases) {
        SCOPED_TRACE(event.what);
        SupportWaitFlags flags;
        flags.waiting.exchange(event.waiting);
        CapturedOutput captured;
        event.handler(flags, event.name, event.data);
        EXPECT_EQ(captured.Text(), event.printed);
        EXPECT_EQ(flags.completed.load(), event.completed);
        EXPECT_EQ(flags.waiting.load(), event.waiting && !event.completed);
        EXPECT_FALSE(flags.interrupted.load());
    }
}

TEST(SupportNotificationsTest, OnlyTheFirstEventOfAWaitPrints)
{
    SupportWaitFlags flags;
    flags.waiting.exchange(true);
    CapturedOutput captured;
    StartSessionHandler(flags, State, R"({"state": "pending"})");
    StartSessionHandler(flags, State, R"({"state": "active"})");
    StartSessionHandler(flags, State, R"({"state": "active"})");
    StartSessionHandler(flags, Ended, R"({"status": "error"})");
    EXPECT_EQ(captured.Text(), L"Operation completed.\nStatus: success\n");
    EXPECT_TRUE(flags.completed.load());
}

}  // namespace
