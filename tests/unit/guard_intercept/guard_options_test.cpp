#include "dllguard/intercept/guard_options.h"

#include <gtest/gtest.h>

namespace {

using dllguard::DecodeGuardOptions;
using dllguard::GuardMode;
using dllguard::GuardOptions;

TEST(GuardOptionsTest, DecodesTheOptionWord)
{
    struct Case {
        uint32_t word;
        GuardMode mode;
        bool checkSignature;
        bool keepSearchPathMode;
        bool eventsWanted;
        bool samePublisher = false;
    };
    const Case cases[] = {
        {0x12, GuardMode::Report, true, false, true},   // the console's report mode
        {0x22, GuardMode::Block, true, false, false},   // the console's block mode
        {0x92, GuardMode::Report, true, false, true, true},  // ... with publisher pinning
        {0xA2, GuardMode::Block, true, false, false, true},
        {0x01, GuardMode::None, false, true, false},
        {0x40, GuardMode::None, false, false, true},
        {0x63, GuardMode::Block, true, true, true},
        {0x00, GuardMode::None, false, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.word);
        GuardOptions options;
        ASSERT_TRUE(DecodeGuardOptions(c.word, options));
        EXPECT_EQ(c.word, options.word);
        EXPECT_EQ(c.mode, options.mode);
        EXPECT_EQ(c.checkSignature, options.checkSignature);
        EXPECT_EQ(c.keepSearchPathMode, options.keepSearchPathMode);
        EXPECT_EQ(c.eventsWanted, options.eventsWanted);
        EXPECT_EQ(c.samePublisher, options.samePublisher);
    }
}

TEST(GuardOptionsTest, ReportAndBlockModeTogetherAreRefused)
{
    for (uint32_t word : {0x30u, 0x32u, 0x73u}) {
        GuardOptions options;
        EXPECT_FALSE(DecodeGuardOptions(word, options)) << word;
    }
}

}  // namespace
