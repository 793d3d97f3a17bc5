#include "run/ShortcutFile.h"

#include "support/TempDir.h"

#include <csignal>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

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

TEST(ShortcutFile, TheNewFileIsOwnerOnlyWhateverStoodAtItsName)
{
    CTempDir dir;
    const std::string path = dir / "shortcut.url";

    // An earlier copy that others could read: the password must not land in it.
    WriteWholeFile(path, "[InternetShortcut]\r\nURL=http://old/\r\nUser=\r\nPassword=\r\n");
    ASSERT_EQ(::chmod(path.c_str(), 0644), 0);
    ASSERT_TRUE(CShortcutFile::Write(dir.Path(), "http://host/", "me", "secret"));
    struct stat info;
    ASSERT_EQ(::lstat(path.c_str(), &info), 0);
    EXPECT_TRUE(S_ISREG(info.st_mode));
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    EXPECT_EQ(ReadWholeFile(path),
              "[InternetShortcut]\r\nURL=http://host/\r\nUser=me\r\nPassword=secret\r\n");

    // A link in its place, to a file others can read: the link is replaced, its target untouched.
    CTempDir elsewhere;
    WriteWholeFile(elsewhere / "public.txt", "public\n");
    ASSERT_EQ(::chmod((elsewhere / "public.txt").c_str(), 0644), 0);
    ASSERT_EQ(::unlink(path.c_str()), 0);
    ASSERT_EQ(::symlink((elsewhere / "public.txt").c_str(), path.c_str()), 0);
    ASSERT_TRUE(CShortcutFile::Write(dir.Path(), "http://host/", "me", "secret"));
    EXPECT_EQ(ReadWholeFile(elsewhere / "public.txt"), "public\n");
    ASSERT_EQ(::lstat(path.c_str(), &info), 0);
    EXPECT_TRUE(S_ISREG(info.st_mode));
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    EXPECT_EQ(FilesIn(dir.Path()), std::set<std::string>{}) << "no temporary file is left beside it";
}

TEST(ShortcutFile, ReadsOnlyTheStartOfPlainFiles)
{
    CTempDir dir;
    // Past the first few KiB nothing is read; a line the limit cuts off is not taken as a value.
    const std::string hugeAddress = "http://host/" + std::string(1024 * 1024, 'x');
    WriteWholeFile(dir / "huge.url", "[InternetShortcut]\r\nURL=" + hugeAddress + "\r\n");
    std::optional<ShortcutContents> contents = CShortcutFile::Read(dir / "huge.url");
    ASSERT_TRUE(contents);
    ASSERT_EQ(contents->strUrl, std::nullopt);

    // A link to a plain file is read as that file.
    WriteWholeFile(dir / "real.url", "[InternetShortcut]\r\nURL=http://linked/\r\n");
    ASSERT_EQ(::symlink((dir / "real.url").c_str(), (dir / "link.url").c_str()), 0);
    contents = CShortcutFile::Read(dir / "link.url");
    ASSERT_TRUE(contents);
    EXPECT_EQ(contents->strUrl, "http://linked/");

    // Devices and FIFOs are refused without waiting on them.
    EXPECT_FALSE(CShortcutFile::Read("/dev/zero"));
    const std::string fifo = dir / "fifo.url";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const auto oldHandler = std::signal(SIGPIPE, SIG_IGN);
    // A writer ready to hand the reader a shortcut: reading the FIFO would show as its address.
    std::thread writer(
        [&]
        {
            const int fd = ::open(fifo.c_str(), O_WRONLY);
            const std::string text = "[InternetShortcut]\r\nURL=http://through-the-fifo/\r\n";
            if (fd >= 0)
            {
                [[maybe_unused]] const ssize_t n = ::write(fd, text.data(), text.size());
                ::close(fd);
            }
        });
    contents = CShortcutFile::Read(fifo);
    // Let a writer still waiting for a reader go.
    const int release = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    writer.join();
    ::close(release);
    std::signal(SIGPIPE, oldHandler);
    EXPECT_FALSE(contents) << (contents && contents->strUrl ? *contents->strUrl : "");

    // An address line that is there but empty is an empty address, not a missing one.
    WriteWholeFile(dir / "empty.url", "[InternetShortcut]\r\nURL=\r\n");
    contents = CShortcutFile::Read(dir / "empty.url");
    ASSERT_TRUE(contents);
    EXPECT_EQ(contents->strUrl, "");
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
    EXPECT_EQ(contents->strUrl, std::nullopt);
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
