// Reading the agent's answers: parsing the response document and loading its
// method lists. Both must grow linearly with the size of the document.
#include "bench_documents.h"

#include "commands/scan/scan_task_document.h"
#include "integration/integration_session.h"
#include "json/json_composed_serializer.h"
#include "json/json_document.h"

#include <benchmark/benchmark.h>

namespace {

void SetSize(benchmark::State& state)
{
    state.SetComplexityN(state.range(0));
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_ParseResponse(benchmark::State& state)
{
    const std::string text = bench::ResponseText(static_cast<size_t>(state.range(0)));
    for (auto _ : state) {
        IntegrationResponse response = ParseResponse(text);
        benchmark::DoNotOptimize(response);
    }
    SetSize(state);
}
BENCHMARK(BM_ParseResponse)
    ->RangeMultiplier(10)
    ->Range(bench::SmallestDocument, bench::LargestDocument)
    ->Complexity(benchmark::oN)
    ->Unit(benchmark::kMicrosecond);

// The JSON parse alone, to tell it apart from the record loading above.
void BM_ParseJsonDocument(benchmark::State& state)
{
    const std::string text = bench::ResponseText(static_cast<size_t>(state.range(0)));
    for (auto _ : state) {
        Json::Value document;
        benchmark::DoNotOptimize(ParseJsonDocument(text, document));
    }
    SetSize(state);
}
BENCHMARK(BM_ParseJsonDocument)
    ->RangeMultiplier(10)
    ->Range(bench::SmallestDocument, bench::LargestDocument)
    ->Complexity(benchmark::oN)
    ->Unit(benchmark::kMicrosecond);

template <class List>
void BM_LoadList(benchmark::State& state)
{
    const Json::Value document = bench::ResponseDocument(static_cast<size_t>(state.range(0)));
    const Json::Value* data = FindPath(&document, "response/data");
    for (auto _ : state) {
        List results;
        if (!JsonComposedSerializer::LoadList(data, "Product", results))
            state.SkipWithError("the list did not load");
        benchmark::DoNotOptimize(results);
    }
    SetSize(state);
}
BENCHMARK_TEMPLATE(BM_LoadList, std::vector<ResponseMethod>)
    ->RangeMultiplier(10)
    ->Range(bench::SmallestDocument, bench::LargestDocument)
    ->Complexity(benchmark::oN)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_TEMPLATE(BM_LoadList, cv::List<ResponseMethod>)
    ->RangeMultiplier(10)
    ->Range(bench::SmallestDocument, bench::LargestDocument)
    ->Complexity(benchmark::oN)
    ->Unit(benchmark::kMicrosecond);

void BM_WriteRequestDocument(benchmark::State& state, bool scanTask)
{
    IntegrationRequest request = BuildRequest("Product", "GetStatus");
    if (scanTask) {
        ScanTask task;
        task.taskId = L"{8A5F3C2E-1D4B-4E6F-9A7B-0C1D2E3F4A5B}";
        for (int i = 0; i < 8; ++i)
            task.paths.push_back(L"C:\\Users\\Public\\Documents\\folder " + std::to_wstring(i));
        request = BuildRunScanTaskRequest(task);
    }
    for (auto _ : state) {
        std::string document = WriteRequestDocument(request);
        benchmark::DoNotOptimize(document);
    }
}
BENCHMARK_CAPTURE(BM_WriteRequestDocument, GetStatus, false);
BENCHMARK_CAPTURE(BM_WriteRequestDocument, RunScanTask, true);

void BM_BuildAndWriteRequest(benchmark::State& state)
{
    for (auto _ : state) {
        std::string document = WriteRequestDocument(BuildRequest("Product", "GetStatus"));
        benchmark::DoNotOptimize(document);
    }
}
BENCHMARK(BM_BuildAndWriteRequest);

}  // namespace
