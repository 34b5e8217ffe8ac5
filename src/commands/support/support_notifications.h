#pragma once
// How the waiting support commands act on the support module's events. Each
// handler runs on the agent library's thread: it prints only while the wait
// is on (`waiting`), and the first event it acts upon ends the wait.
#include "commands/support/support_wait.h"

#include <string_view>

using SupportNotificationHandler = void (*)(SupportWaitFlags& flags, std::string_view name, std::string_view data);

// "Support.StartSession": a "Product.Support.State" of "active" reports
// success, "pending" is ignored, any other state ends the wait silently; a
// "Product.Support.SessionEnded" means the session failed.
void StartSessionHandler(SupportWaitFlags& flags, std::string_view name, std::string_view data);

// "Support.Collect" and "Support.EndSession": a "Product.Support.SessionEnded"
// reports each delivery of a finished session, or the failure.
void SessionEndedHandler(SupportWaitFlags& flags, std::string_view name, std::string_view data);

// "Support.AbortSession": "aborted" and "forceAborted" endings are reported.
void AbortHandler(SupportWaitFlags& flags, std::string_view name, std::string_view data);

// "Support.ForceAbortSession": only a "forceAborted" ending is reported.
void ForceAbortHandler(SupportWaitFlags& flags, std::string_view name, std::string_view data);
