// Path lookup and the typed getters: every field a command reads from an
// answer goes through them.
#include "bench_documents.h"

#include "json/json_path.h"
#include "json/json_values.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {

const Json::Value& Status()
{
    static const Json::Value status = bench::ProductStatus();
    return status;
}

void BM_FindPath(benchmark::State& state, const char* path)
{
    const Json::Value& status = Status();
    for (auto _ : state)
        benchmark::DoNotOptimize(FindPath(&status, path));
}
BENCHMARK_CAPTURE(BM_FindPath, member, "Locations");
BENCHMARK_CAPTURE(BM_FindPath, three_levels, "Locations/Product/Version");
BENCHMARK_CAPTURE(BM_FindPath, four_levels_leading_slash, "/Locations/Product/update/time");
BENCHMARK_CAPTURE(BM_FindPath, missing, "Locations/Product/nothing/here");

void BM_FindPathIndexed(benchmark::State& state)
{
    const Json::Value document = bench::ResponseDocument(static_cast<size_t>(state.range(0)));
    const std::string path = "response/data/Product[" + std::to_string(state.range(0) - 1) + "]/output/Version";
    for (auto _ : state)
        benchmark::DoNotOptimize(FindPath(&document, path));
    state.SetLabel("last element");
}
BENCHMARK(BM_FindPathIndexed)->RangeMultiplier(10)->Range(bench::SmallestDocument, bench::LargestDocument);

void BM_FindPathCreate(benchmark::State& state)
{
    Json::Value document = Status();
    for (auto _ : state)
        benchmark::DoNotOptimize(FindPath(&document, "Locations/Product/check/error", PathMode::Create));
}
BENCHMARK(BM_FindPathCreate);

template <class T, bool (*Get)(T&, const Json::Value&, std::string_view)>
void BM_Get(benchmark::State& state, const char* path)
{
    const Json::Value& status = Status();
    T out{};
    for (auto _ : state) {
        const bool found = Get(out, status, path);
        benchmark::DoNotOptimize(found);
        benchmark::DoNotOptimize(out);
    }
}
// Registered by hand: the capture macro does not take a template-id.
const bool GettersRegistered = [] {
    benchmark::RegisterBenchmark("BM_Get/GetInt32", BM_Get<int32_t, &GetInt32>, "Locations/Product/update/error");
    benchmark::RegisterBenchmark("BM_Get/GetBool", BM_Get<bool, &GetBool>, "Locations/Product/restartNeeded");
    benchmark::RegisterBenchmark("BM_Get/GetInt64", BM_Get<int64_t, &GetInt64>, "Locations/Product/update/time");
    benchmark::RegisterBenchmark("BM_Get/GetUInt64", BM_Get<uint64_t, &GetUInt64>, "Locations/Antivirus/signatures");
    benchmark::RegisterBenchmark("BM_Get/GetUtf8String", BM_Get<std::string, &GetUtf8String>,
                                 "Locations/Product/Version");
    benchmark::RegisterBenchmark("BM_Get/GetUtf8String_of_int", BM_Get<std::string, &GetUtf8String>,
                                 "Locations/Antivirus/Version");
    benchmark::RegisterBenchmark("BM_Get/GetWideString", BM_Get<std::wstring, &GetWideString>,
                                 "Locations/Product/Version");
    benchmark::RegisterBenchmark("BM_Get/GetWideString_cv", BM_Get<cv::StringW, &GetWideString>,
                                 "Locations/Product/Version");
    return true;
}();

}  // namespace
