// The shell's per-line work: splitting a line and parsing name=value
// arguments.
#include "console/arguments.h"
#include "console/command_line.h"

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

namespace {

void BM_SplitCommandLine(benchmark::State& state, const char* line)
{
    const std::string text = line;
    for (auto _ : state) {
        std::vector<std::string> tokens = SplitCommandLine(text);
        benchmark::DoNotOptimize(tokens);
    }
}
BENCHMARK_CAPTURE(BM_SplitCommandLine, GetVersion, "GetVersion product");
BENCHMARK_CAPTURE(BM_SplitCommandLine, StartSession,
                  "Support.StartSession scenario=1 scenario=2 outputPath=\"C:\\Support Files\\out\" timeout=2");
BENCHMARK_CAPTURE(BM_SplitCommandLine, RunScanTask,
                  "FileScan.OnDemand.RunScanTask custom path=\"C:\\Program Files\" path=C:\\Users "
                  "path=\"D:\\a b\\c d\" infectedAction1=quarantine scanArchives=false maxArchiveScanSize=100 "
                  "extensionType=custom customExt=exe;dll;sys");

const std::vector<std::string> StartSessionTokens = {"scenario=1", "/scenario=2", "--outputPath=C:\\Support\\out",
                                                     "-timeout=2", "force"};

void BM_ParseArguments(benchmark::State& state)
{
    for (auto _ : state) {
        ArgumentMap map = ParseArguments(StartSessionTokens);
        benchmark::DoNotOptimize(map);
    }
}
BENCHMARK(BM_ParseArguments);

void BM_ParseArgumentsWide(benchmark::State& state)
{
    const std::vector<std::wstring> tokens = {L"custom", L"path=C:\\Program Files", L"path=C:\\Users",
                                              L"infectedAction1=quarantine", L"scanArchives=false",
                                              L"extensionType=custom", L"customExt=exe;dll;sys"};
    for (auto _ : state) {
        WideArgumentMap map = ParseArguments(tokens);
        benchmark::DoNotOptimize(map);
    }
}
BENCHMARK(BM_ParseArgumentsWide);

void BM_ParseArgument(benchmark::State& state)
{
    const std::string token = "--outputPath=C:\\Support\\out=b";
    for (auto _ : state) {
        std::string name, value;
        ParseArgument(token, name, value);
        benchmark::DoNotOptimize(name);
        benchmark::DoNotOptimize(value);
    }
}
BENCHMARK(BM_ParseArgument);

}  // namespace
