#pragma once
// The usage: how to start the console, the registered commands with their
// synopses, the result codes and where the reference is. Answered for "/?"
// and for "help" in the interactive shell; no command runs and no telemetry
// is sent.

// Writes the usage through the chosen output form as the answer to `asked`
// ("/?" or "help").
void AnswerUsage(const char* asked);
