#pragma once
// Exit codes of the worker and of the history runner.
namespace standin {
namespace history {

namespace exit_code {
constexpr int Written = 0;
constexpr int BadCommandLine = 1;
constexpr int StoreUnreadable = 2;
constexpr int OutputFailed = 3;
constexpr int RunnerUnavailable = 4;  // the worker could not load or start the runner library
}  // namespace exit_code

}  // namespace history
}  // namespace standin
