#include "settings/RegistryKey.h"

#include "settings/SettingsTable.h"
#include "support/ScopedNoDacOverride.h"
#include "support/TestApp.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

namespace
{

TEST(RegistryKey, FirstOpenCreatesTheKeyAndEveryValueReadsAsAbsent)
{
    CTestApp test;
    const std::string storePath = test.ConfigHome() + "QMV/Harvestly.conf";
    EXPECT_EQ(CRegistryKey::StorePath(kSettingsKeyPath), storePath);
    EXPECT_FALSE(FileSystem::Exists(storePath));

    CRegistryKey key;
    ASSERT_TRUE(key.Open(RegistryRoot::CurrentUser, kSettingsKeyPath));
    EXPECT_TRUE(FileSystem::Exists(storePath));
    for (const SettingDefinition& setting : SettingsTable())
    {
        std::uint32_t value = 77;
        std::string text = "untouched";
        bool flag = true;
        EXPECT_FALSE(key.ReadDword(value, setting.name)) << setting.name;
        EXPECT_EQ(value, 77u) << "an absent value leaves the caller's default";
        EXPECT_FALSE(key.ReadBool(flag, setting.name));
        EXPECT_TRUE(flag);
        EXPECT_FALSE(key.ReadString(text, setting.name));
        EXPECT_EQ(text, "");
    }
    EXPECT_EQ(test.Boxes().Count(), 0u);
}

TEST(RegistryKey, ValuesSurviveAroundTripThroughANewHandle)
{
    CTestApp test;
    {
        CRegistryKey key;
        ASSERT_TRUE(key.Open(RegistryRoot::CurrentUser, kSettingsKeyPath));
        EXPECT_TRUE(key.WriteDword(2, kValueFileCheck));
        EXPECT_TRUE(key.WriteDword(0xFFFFFFFFu, kValueDepth));
        EXPECT_TRUE(key.WriteDword(0, kValueRetries));
        EXPECT_TRUE(key.WriteString("*.gif;;images*;文件", kValueFilter));
        EXPECT_TRUE(key.WriteString("", "Empty"));
        key.Close();
        key.Close(); // closing twice is harmless
    }
    CRegistryKey key;
    ASSERT_TRUE(key.Open(RegistryRoot::CurrentUser, kSettingsKeyPath));
    std::uint32_t value = 0;
    EXPECT_TRUE(key.ReadDword(value, kValueFileCheck));
    EXPECT_EQ(value, 2u);
    EXPECT_TRUE(key.ReadDword(value, kValueDepth));
    EXPECT_EQ(value, 0xFFFFFFFFu);
    bool flag = true;
    EXPECT_TRUE(key.ReadBool(flag, kValueRetries));
    EXPECT_FALSE(flag);
    std::string text;
    EXPECT_TRUE(key.ReadString(text, kValueFilter));
    EXPECT_EQ(text, "*.gif;;images*;文件");
    EXPECT_TRUE(key.ReadString(text, "Empty"));
    EXPECT_EQ(text, "");
}

TEST(RegistryKey, ANumberValueHoldingTextReadsAsAbsent)
{
    CTestApp test;
    CRegistryKey key;
    ASSERT_TRUE(key.Open(RegistryRoot::CurrentUser, kSettingsKeyPath));
    ASSERT_TRUE(key.WriteString("abc", kValueRetries));
    ASSERT_TRUE(key.WriteString("4294967296", kValueDepth));
    ASSERT_TRUE(key.WriteString("-1", kValueFileCheck));
    std::uint32_t value = 9;
    EXPECT_FALSE(key.ReadDword(value, kValueRetries));
    EXPECT_FALSE(key.ReadDword(value, kValueDepth));
    EXPECT_FALSE(key.ReadDword(value, kValueFileCheck));
    EXPECT_EQ(value, 9u);
}

TEST(RegistryKey, AStoreThatCannotBeBuiltShowsTheKeyMessageAndWritesNothing)
{
    CTestApp test;
    // A plain file where the organisation folder should be: the key can be neither opened nor created.
    WriteWholeFile(test.ConfigHome() + "QMV", "not a folder");

    CRegistryKey key(&test.App());
    EXPECT_FALSE(key.Open(RegistryRoot::CurrentUser, kSettingsKeyPath));
    EXPECT_FALSE(key.IsOpen());
    EXPECT_EQ(key.Message(), "Unable to build key [Software\\QMV\\Harvestly]");
    EXPECT_FALSE(key.WriteDword(1, kValueRetries));
    ASSERT_EQ(test.Boxes().Count(), 1u);
    const MessageRequest shown = test.Boxes().Shown().front();
    EXPECT_EQ(shown.text, "Unable to build key [Software\\QMV\\Harvestly]");
    EXPECT_EQ(shown.caption, "harvestly-test");
    EXPECT_EQ(shown.buttons, MsgButtons::Ok);
}

TEST(RegistryKey, TwoHandlesWritingDifferentValuesLoseNeither)
{
    CTestApp test;
    CRegistryKey first;
    CRegistryKey second;
    ASSERT_TRUE(first.Open(RegistryRoot::CurrentUser, kSettingsKeyPath));
    ASSERT_TRUE(second.Open(RegistryRoot::CurrentUser, kSettingsKeyPath));
    EXPECT_TRUE(first.WriteDword(3, kValueRetries));
    EXPECT_TRUE(second.WriteDword(4, kValueDepth));
    first.Close();
    second.Close();

    CRegistryKey reader;
    ASSERT_TRUE(reader.Open(RegistryRoot::CurrentUser, kSettingsKeyPath));
    std::uint32_t retries = 0;
    std::uint32_t depth = 0;
    EXPECT_TRUE(reader.ReadDword(retries, kValueRetries));
    EXPECT_TRUE(reader.ReadDword(depth, kValueDepth));
    EXPECT_EQ(retries, 3u);
    EXPECT_EQ(depth, 4u);
}

} // namespace

namespace
{

TEST(RegistryKey, AWriteTheStoreCannotKeepReportsFailureAndKeepsTheOldValue)
{
    CTestApp test;
    test.StoreDword(kValueRetries, 2);
    const std::string folder = test.ConfigHome() + "QMV";
    {
        CScopedNoDacOverride asOrdinaryUser;
        ASSERT_EQ(::chmod(CRegistryKey::StorePath(kSettingsKeyPath).c_str(), 0444), 0);
        ASSERT_EQ(::chmod(folder.c_str(), 0555), 0);

        CRegistryKey key;
        ASSERT_TRUE(key.Open(RegistryRoot::CurrentUser, kSettingsKeyPath)) << "a readable store still opens";
        EXPECT_FALSE(key.WriteDword(5, kValueRetries));
        EXPECT_FALSE(key.WriteString("x", kValueFilter));
    }
    ::chmod(folder.c_str(), 0755);
    CRegistryKey key;
    ASSERT_TRUE(key.Open(RegistryRoot::CurrentUser, kSettingsKeyPath));
    std::uint32_t retries = 0;
    EXPECT_TRUE(key.ReadDword(retries, kValueRetries));
    EXPECT_EQ(retries, 2u);
    EXPECT_EQ(test.Boxes().Count(), 0u);
}

} // namespace
