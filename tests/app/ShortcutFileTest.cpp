#include "app/ShortcutFile.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

namespace
{

TEST(ShortcutFile, WritesFourCrLfLinesReadableByItsOwnerOnly)
{
    CTempDir dir;
    ASSERT_TRUE(CShortcutFile::Write(dir.Path().substr(0, dir.Path().size() - 1), "http://host/a/", "user",
                                     "pa=ss word"));
    const std::string path = dir / "shortcut.url";
    EXPECT_EQ(ReadWholeFile(path),
              "[InternetShortcut]\r\nURL=http://host/a/\r\nUser=user\r\nPassword=pa=ss word\r\n");
    struct stat info;
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);

    // A second run replaces the file rather than appending to it.
    ASSERT_TRUE(CShortcutFile::Write(dir.Path(), "http://other/", "", ""));
    EXPECT_EQ(ReadWholeFile(path), "[InternetShortcut]\r\nURL=http://other/\r\nUser=\r\nPassword=\r\n");
}

TEST(ShortcutFile, ReadsBackWhatItWroteAndFillsTheFolderFromThePath)
{
    CTempDir dir;
    ASSERT_TRUE(CShortcutFile::Write(dir.Path(), "http://host/a/b.html", "ich", "geheim=1"));
    const auto contents = CShortcutFile::Read(dir / "shortcut.url");
    ASSERT_TRUE(contents);
    EXPECT_EQ(contents->strUrl, "http://host/a/b.html");
    EXPECT_EQ(contents->strDestination, dir.Path());
    EXPECT_EQ(contents->strUserId, "ich");
    EXPECT_EQ(contents->strPassword, "geheim=1") << "only the first '=' separates the key";
}

TEST(ShortcutFile, TakesLinesByPositionAndOnlyTheAddressFromOtherNames)
{
    CTempDir dir;
    // Plain LF line ends, unknown key names, a line without '=': values are taken by position.
    WriteWholeFile(dir / "site.url", "[InternetShortcut]\nAddress=http://host/x/\nUser=u\nPassword=p\n");
    auto contents = CShortcutFile::Read(dir / "site.url");
    ASSERT_TRUE(contents);
    EXPECT_EQ(contents->strUrl, "http://host/x/");
    EXPECT_FALSE(contents->strDestination);
    EXPECT_FALSE(contents->strUserId);

    WriteWholeFile(dir / "bare.url", "[InternetShortcut]\r\nhttp://host/bare/\r\n");
    contents = CShortcutFile::Read(dir / "bare.url");
    ASSERT_TRUE(contents);
    EXPECT_EQ(contents->strUrl, "http://host/bare/");

    // A header with anything around it is not the header; the name is compared exactly.
    WriteWholeFile(dir / "sub/shortcut.url", " [InternetShortcut]\r\nURL=http://host/\r\n");
    contents = CShortcutFile::Read(dir / "sub/shortcut.url");
    ASSERT_TRUE(contents);
    EXPECT_EQ(contents->strUrl, "");
    EXPECT_EQ(contents->strDestination, dir / "sub/");
    // Without the header no address line is consumed: line 2 gives the user id, line 3 the password.
    EXPECT_EQ(contents->strUserId, "http://host/");
    EXPECT_EQ(contents->strPassword, std::nullopt) << "no third line";

    WriteWholeFile(dir / "SHORTCUT.URL", "[InternetShortcut]\r\nURL=http://host/\r\nUser=u\r\n");
    contents = CShortcutFile::Read(dir / "SHORTCUT.URL");
    ASSERT_TRUE(contents);
    EXPECT_FALSE(contents->strUserId);

    EXPECT_FALSE(CShortcutFile::Read(dir / "missing.url"));
}

} // namespace
