#include "telemetry/exported_plugin.h"
#include "telemetry/plugin_id.h"
#include "telemetry/telemetry_app.h"

#include <gtest/gtest.h>

namespace {

TEST(PluginId, TextBecomesItsTwoWords)
{
    PluginId id{};
    ASSERT_TRUE(PluginIdFromText("872DA2C0-CDA8-4CEF-8348-02768709E306", id));
    EXPECT_EQ(id.low, 0x834802768709E306ull);
    EXPECT_EQ(id.high, 0x872DA2C0CDA84CEFull);
    ASSERT_TRUE(PluginIdFromText("514BE292-F7C5-425F-BC90-FCA366551AB3", id));
    EXPECT_TRUE(id == plugin_ids::Factory);
    ASSERT_TRUE(PluginIdFromText("E952825D-7C88-4176-9833-04D0414E2323", id));
    EXPECT_TRUE(id == plugin_ids::ServPlugin);
    EXPECT_FALSE(PluginIdFromText("not-an-id", id));
}

TEST(AddOptions, RecordsNamesAndOnlyTheScenarioValue)
{
    struct Case {
        ArgumentTokens args;
        std::vector<std::string> options;
    } cases[] = {
        {{"scenarioId=Net", "path=C:\\x", "-v"}, {"scenario=Net", "path", "v"}},
        {{}, {}},
        {{"--scenario=A=B", "/format=csv", "Scenario=x", "scenario"}, {"scenario=A=B", "format", "Scenario", "scenario="}},
    };
    for (const auto& c : cases) {
        Json::Value event(Json::objectValue);
        Product::TelemetryST::AddOptions(event, c.args);
        ASSERT_TRUE(event["options"].isArray());
        std::vector<std::string> options;
        for (const auto& option : event["options"])
            options.push_back(option.asString());
        EXPECT_EQ(options, c.options);
    }
}

// The loader against test plug-ins that fail at each step: every failure
// backs out exactly what was done, in reverse.
struct LoaderCase {
    const char* name;
    const char* mode;
    const wchar_t* library;
    uint32_t result;
    const char* calls;
};

class LoaderTest : public testing::TestWithParam<LoaderCase> {
protected:
    void SetUp() override
    {
        SetEnvironmentVariableA("TEST_PLUGIN_MODE", GetParam().mode);
        SetEnvironmentVariableA("TEST_PLUGIN_CALLS", "");
    }
    static std::string Calls()
    {
        char buffer[4096] = {};
        GetEnvironmentVariableA("TEST_PLUGIN_CALLS", buffer, sizeof buffer);
        return buffer;
    }
};

TEST_P(LoaderTest, BacksOutInReverse)
{
    {
        ExportedPlugin<Telemetry::ITelemetry> plugin;
        EXPECT_EQ(plugin.Load(GetParam().library, L"Product.Matrix"), GetParam().result);
        EXPECT_EQ(plugin.Interface() != nullptr, GetParam().result == 0);
    }
    EXPECT_EQ(Calls(), GetParam().calls);
    // Nothing of the plug-in stays loaded.
    EXPECT_EQ(GetModuleHandleW(GetParam().library), nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    Steps, LoaderTest,
    testing::Values(
        LoaderCase{"loads", "ok", L"test_plugin.dll", 0,
                   "create,serv?,init,start,telemetry?,stop,uninit,destroy,"},
        LoaderCase{"factory_fails", "create_fails", L"test_plugin.dll", 1234, "create,"},
        LoaderCase{"factory_without_object", "no_object", L"test_plugin.dll", 632, "create,"},
        LoaderCase{"no_service_interface", "no_serv", L"test_plugin.dll", 632, "create,serv?,destroy,"},
        LoaderCase{"init_fails", "init_fails", L"test_plugin.dll", 55, "create,serv?,init,destroy,"},
        LoaderCase{"start_fails", "start_fails", L"test_plugin.dll", 66, "create,serv?,init,start,uninit,destroy,"},
        LoaderCase{"no_telemetry_interface", "no_telemetry", L"test_plugin.dll", 0x80004002,
                   "create,serv?,init,start,telemetry?,stop,uninit,destroy,"},
        LoaderCase{"missing_destroy_export", "ok", L"test_plugin_nodestroy.dll", 127, ""},
        LoaderCase{"missing_library", "ok", L"no_such_plugin.dll", 126, ""}),
    [](const auto& test) { return std::string(test.param.name); });

TEST(Loader, EmptyNamesAreInvalid)
{
    ExportedPlugin<Telemetry::ITelemetry> plugin;
    EXPECT_EQ(plugin.Load(L"", L"Product.Matrix"), 87u);
    EXPECT_EQ(plugin.Load(L"test_plugin.dll", L""), 87u);
}

TEST(Loader, LoadingTwiceReleasesTheFirstPlugin)
{
    SetEnvironmentVariableA("TEST_PLUGIN_MODE", "ok");
    SetEnvironmentVariableA("TEST_PLUGIN_CALLS", "");
    ExportedPlugin<Telemetry::ITelemetry> plugin;
    ASSERT_EQ(plugin.Load(L"test_plugin.dll", L"Product.Matrix"), 0u);
    ASSERT_EQ(plugin.Load(L"test_plugin.dll", L"Product.Matrix"), 0u);
    char buffer[4096] = {};
    GetEnvironmentVariableA("TEST_PLUGIN_CALLS", buffer, sizeof buffer);
    EXPECT_STREQ(buffer, "create,serv?,init,start,telemetry?,stop,uninit,destroy,"
                         "create,serv?,init,start,telemetry?,");
}

}  // namespace
