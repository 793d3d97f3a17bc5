#include "settings/RunSettings.h"

#include "settings/RegistryKey.h"
#include "support/TestApp.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace
{

TEST(RunSettings, ReadsEveryStoredValueOnceAndTheTableDefaultsForTheRest)
{
    CTestApp test;
    const RunSettings fresh = test.Settings();
    EXPECT_EQ(fresh.nRetries, 0u);
    EXPECT_EQ(fresh.nDepth, 0u);
    EXPECT_FALSE(fresh.strFilter) << "an absent text is no text, not an empty one";

    test.StoreDword(kValueFileCheck, 2);
    test.StoreDword(kValueRetries, 3);
    test.StoreDword(kValueContinueOnError, 7);
    test.StoreDword(kValueNoNameAsIndex, 1);
    test.StoreDword(kValueUseFilters, 1);
    test.StoreString(kValueFilter, "");
    test.StoreDword(kValueFilterExclude, 1);
    test.StoreDword(kValueDepth, 0xFFFFFFFFu);
    test.StoreString(kValueStealth, "not a number");
    const RunSettings stored = test.Settings();
    EXPECT_EQ(stored.nFileCheck, 2u);
    EXPECT_EQ(stored.nRetries, 3u);
    EXPECT_EQ(stored.nContinueOnError, 7u);
    EXPECT_EQ(stored.nNoNameAsIndex, 1u);
    EXPECT_EQ(stored.nUseFilters, 1u);
    EXPECT_EQ(stored.strFilter, std::optional<std::string>(""));
    EXPECT_EQ(stored.nFilterExclude, 1u);
    EXPECT_EQ(stored.nDepth, 0xFFFFFFFFu);
    EXPECT_EQ(stored.nStealth, 0u) << "a value that is no number reads as absent";
    EXPECT_EQ(test.Boxes().Count(), 0u);

    // A store that cannot be built: one message, and every value as the table gives it.
    std::filesystem::remove_all(test.ConfigHome() + "QMV");
    WriteWholeFile(test.ConfigHome() + "QMV", "not a folder");
    const RunSettings unreadable = test.Settings();
    EXPECT_EQ(unreadable.nRetries, 0u);
    EXPECT_EQ(unreadable.nFileCheck, 0u);
    EXPECT_FALSE(unreadable.strFilter);
    EXPECT_EQ(test.Boxes().Texts(),
              std::vector<std::string>{"Unable to build key [Software\\QMV\\Harvestly]"});
}

TEST(RunSettings, EditsReplaceStoredValuesForThisRunOnly)
{
    CTestApp test;
    test.StoreDword(kValueRetries, 1);
    test.StoreString(kValueFilter, "*.gif");

    RunSettings settings = test.Settings();
    EXPECT_TRUE(settings.Set(kValueRetries, "4"));
    EXPECT_TRUE(settings.Set(kValueFilter, "*.png;*.jpg"));
    EXPECT_TRUE(settings.Set(kValueDepth, "2")) << "an edit stands in for an absent value";
    EXPECT_EQ(settings.nRetries, 4u);
    EXPECT_EQ(settings.nDepth, 2u);
    EXPECT_EQ(settings.strFilter, std::optional<std::string>("*.png;*.jpg"));

    // Refused edits change nothing.
    EXPECT_FALSE(settings.Set(kValueRetries, "x"));
    EXPECT_FALSE(settings.Set(kValueRetries, "4294967296"));
    EXPECT_FALSE(settings.Set("NoSuchValue", "1"));
    EXPECT_EQ(settings.nRetries, 4u);

    // The store itself keeps what was stored.
    const std::string stored = ReadWholeFile(CRegistryKey::StorePath(kSettingsKeyPath));
    EXPECT_NE(stored.find("Retries=1"), std::string::npos) << stored;
    EXPECT_EQ(stored.find("Depth"), std::string::npos) << stored;
    EXPECT_EQ(test.Settings().nRetries, 1u);
}

} // namespace
