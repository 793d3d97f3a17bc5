#include "platform/LocalFile.h"

#include "platform/FileSystem.h"
#include "support/Planted.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{

TEST(LocalFile, WritersShutOutOtherWritersButNotReaders)
{
    CTempDir dir;
    const std::string path = dir / "file.txt";

    CLocalFile writer;
    ASSERT_TRUE(writer.Open(path, CLocalFile::Mode::CreateTruncate));
    ASSERT_TRUE(writer.Write("abc", 3));

    CLocalFile second;
    EXPECT_FALSE(second.Open(path, CLocalFile::Mode::AppendExisting));
    EXPECT_NE(second.LastError().code, 0);
    EXPECT_FALSE(second.LastError().text.empty());
    // The refused writer must not have truncated what the first one wrote.
    EXPECT_FALSE(second.Open(path, CLocalFile::Mode::CreateTruncate));
    EXPECT_EQ(ReadWholeFile(path), "abc");
    ASSERT_TRUE(writer.Close());

    CLocalFile appender;
    ASSERT_TRUE(appender.Open(path, CLocalFile::Mode::AppendExisting));
    ASSERT_TRUE(appender.Write("def", 3));
    ASSERT_TRUE(appender.Close());
    EXPECT_EQ(ReadWholeFile(path), "abcdef");

    CLocalFile reader;
    ASSERT_TRUE(reader.Open(path, CLocalFile::Mode::ReadExisting));
    char buffer[16];
    EXPECT_EQ(reader.Read(buffer, sizeof buffer), 6);
    EXPECT_EQ(reader.Read(buffer, sizeof buffer), 0);
}

TEST(LocalFile, AppendAndReadNeedAnExistingFile)
{
    CTempDir dir;
    CLocalFile file;
    EXPECT_FALSE(file.Open(dir / "missing", CLocalFile::Mode::AppendExisting));
    EXPECT_FALSE(file.Open(dir / "missing", CLocalFile::Mode::ReadExisting));
    EXPECT_FALSE(FileSystem::Exists(dir / "missing"));
}

TEST(LocalFile, TimesAreSetOnTheOpenFileAndKeptByItsClose)
{
    CTempDir dir;
    CLocalFile file;
    EXPECT_FALSE(file.SetTimes(921507753)) << "no file is open";
    ASSERT_TRUE(file.Open(dir / "a.txt", CLocalFile::Mode::CreateTruncate));
    ASSERT_TRUE(file.Write("data", 4));
    ASSERT_TRUE(file.SetTimes(921507753));
    ASSERT_TRUE(file.Close());
    EXPECT_EQ(FileSystem::GetWriteTime(dir / "a.txt"), 921507753);
    EXPECT_EQ(ReadWholeFile(dir / "a.txt"), "data");
}

TEST(LocalFile, AFreshFileReplacesLeftoversAndLinksButNotALiveWritersFile)
{
    CTempDir dir;
    const std::string path = dir / "part";

    // A link planted at the name is replaced by the new file; its target is not written.
    WriteWholeFile(dir / "target", "precious");
    ASSERT_EQ(::symlink((dir / "target").c_str(), path.c_str()), 0);
    CLocalFile fresh;
    ASSERT_TRUE(fresh.Open(path, CLocalFile::Mode::CreateFresh, 0600));
    ASSERT_TRUE(fresh.Write("new", 3));
    ASSERT_TRUE(fresh.Close());
    EXPECT_EQ(ReadWholeFile(dir / "target"), "precious");
    struct stat info;
    ASSERT_EQ(::lstat(path.c_str(), &info), 0);
    EXPECT_TRUE(S_ISREG(info.st_mode));
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    EXPECT_EQ(ReadWholeFile(path), "new");

    // A dangling link, and a file nobody holds any more, are leftovers too.
    ASSERT_EQ(::symlink((dir / "nowhere/x").c_str(), (dir / "dangling").c_str()), 0);
    ASSERT_TRUE(fresh.Open(dir / "dangling", CLocalFile::Mode::CreateFresh));
    ASSERT_TRUE(fresh.Close());
    EXPECT_FALSE(FileSystem::Exists(dir / "nowhere"));
    ASSERT_TRUE(fresh.Open(path, CLocalFile::Mode::CreateFresh));
    ASSERT_TRUE(fresh.Close());
    EXPECT_EQ(ReadWholeFile(path), "");

    // A file another writer is still writing is not taken from it.
    CLocalFile writer;
    ASSERT_TRUE(writer.Open(path, CLocalFile::Mode::CreateFresh));
    ASSERT_TRUE(writer.Write("live", 4));
    CLocalFile second;
    EXPECT_FALSE(second.Open(path, CLocalFile::Mode::CreateFresh));
    EXPECT_NE(second.LastError().code, 0);
    ASSERT_TRUE(writer.Close());
    EXPECT_EQ(ReadWholeFile(path), "live");

    // A folder at the name is nothing to remove.
    ASSERT_TRUE(FileSystem::CreateDirectory(dir / "folder"));
    EXPECT_FALSE(second.Open(dir / "folder", CLocalFile::Mode::CreateFresh));
    EXPECT_TRUE(FileSystem::IsDirectory(dir / "folder"));
}

TEST(LocalFile, WritersOfANamedFileTakeAPlainFileOnlyAndNeverWait)
{
    for (const Planted kind : kEveryPlanted)
    {
        for (const CLocalFile::Mode mode :
             {CLocalFile::Mode::CreateTruncate, CLocalFile::Mode::AppendExisting})
        {
            SCOPED_TRACE(std::string(NameOf(kind)) +
                         (mode == CLocalFile::Mode::CreateTruncate ? ", truncating" : ", appending"));
            CTempDir dir;
            const std::string path = dir / "log";
            Plant(kind, path, dir / "target");
            CLocalFile file;
            // A FIFO nobody reads would hold this open for ever.
            EXPECT_FALSE(file.Open(path, mode));
            EXPECT_FALSE(file.IsOpen());
            EXPECT_EQ(file.LastError().text, CLocalFile::NotPlainFile().text);
            EXPECT_TRUE(FileSystem::IsOtherThanPlainFile(path)) << "what stands there is left alone";
            if (kind == Planted::LinkToFile)
            {
                EXPECT_EQ(ReadWholeFile(dir / "target"), "precious");
            }
            EXPECT_EQ(FileSystem::Exists(dir / "target"), kind == Planted::LinkToFile);
        }
    }

    // A plain file, or none at all, is no such refusal.
    CTempDir dir;
    EXPECT_FALSE(FileSystem::IsOtherThanPlainFile(dir / "none"));
    CLocalFile file;
    EXPECT_FALSE(file.Open(dir / "none", CLocalFile::Mode::AppendExisting));
    EXPECT_EQ(file.LastError().code, ENOENT);
    ASSERT_TRUE(file.Open(dir / "none", CLocalFile::Mode::CreateTruncate));
    ASSERT_TRUE(file.Close());
    EXPECT_FALSE(FileSystem::IsOtherThanPlainFile(dir / "none"));
}

TEST(FileSystem, PartialNamesAreShortHiddenAndStablePerName)
{
    const std::string longName(255, 'n');
    const std::string partial = FileSystem::PartialPath("/d/sub/" + longName);
    ASSERT_EQ(partial.rfind("/d/sub/.", 0), 0u) << partial;
    const std::string name = partial.substr(7);
    EXPECT_EQ(name.find('/'), std::string::npos);
    EXPECT_LE(name.size(), 40u);
    EXPECT_EQ(FileSystem::PartialPath("/d/sub/a.html").size(), partial.size());

    EXPECT_NE(FileSystem::PartialPath("/d/a.html"), FileSystem::PartialPath("/d/b.html"));
    EXPECT_NE(FileSystem::PartialPath("/d/a.html"), FileSystem::PartialPath("/d/a.htm"));
    // The folder decides where, the name alone which: a moved mirror finds its leftovers again.
    EXPECT_EQ(FileSystem::PartialPath("/d/a.html").substr(3), FileSystem::PartialPath("/e/a.html").substr(3));
    EXPECT_EQ(FileSystem::PartialPath("a.html"), FileSystem::PartialPath("/d/a.html").substr(3));
}

TEST(FileSystem, CreatePathMakesEveryMissingFolderUpToTheLastSlash)
{
    CTempDir dir;
    EXPECT_TRUE(FileSystem::CreatePath(dir / "x/y/z/page.html"));
    EXPECT_TRUE(FileSystem::IsDirectory(dir / "x/y/z"));
    EXPECT_FALSE(FileSystem::Exists(dir / "x/y/z/page.html"));
    EXPECT_TRUE(FileSystem::CreatePath(dir / "x/y/z/page.html"));      // already there
    EXPECT_TRUE(FileSystem::CreatePath(dir / "x/y/../w/v/page.html")); // each missing level
    EXPECT_TRUE(FileSystem::IsDirectory(dir / "x/w/v"));
    EXPECT_TRUE(FileSystem::CreatePath(dir / "q/r/")); // a folder name
    EXPECT_TRUE(FileSystem::IsDirectory(dir / "q/r"));
    EXPECT_TRUE(FileSystem::CreatePath("page.html")); // no folder at all

    WriteWholeFile(dir / "blocker", "file");
    SystemError error;
    EXPECT_FALSE(FileSystem::CreatePath(dir / "blocker/sub/page.html", &error));
    EXPECT_EQ(error.code, ENOTDIR);
}

TEST(FileSystem, CreatesMovesDeletesAndStampsFiles)
{
    CTempDir dir;
    EXPECT_TRUE(FileSystem::Exists(dir.Path()));
    EXPECT_TRUE(FileSystem::CreateDirectory(dir / "sub"));
    SystemError error;
    EXPECT_FALSE(FileSystem::CreateDirectory(dir / "sub", &error));
    EXPECT_EQ(error.code, EEXIST);

    WriteWholeFile(dir / "sub/a.txt", "x");
    ASSERT_TRUE(FileSystem::SetTimes(dir / "sub/a.txt", 921507753));
    EXPECT_EQ(FileSystem::GetWriteTime(dir / "sub/a.txt"), 921507753);
    ASSERT_TRUE(FileSystem::Move(dir / "sub/a.txt", dir / "b.txt"));
    EXPECT_FALSE(FileSystem::Exists(dir / "sub/a.txt"));
    EXPECT_EQ(FileSystem::GetWriteTime(dir / "b.txt"), 921507753);
    EXPECT_TRUE(FileSystem::Delete(dir / "b.txt"));
    EXPECT_FALSE(FileSystem::Delete(dir / "b.txt", &error));
    EXPECT_EQ(error.code, ENOENT);
    EXPECT_FALSE(FileSystem::GetWriteTime(dir / "b.txt"));
}

} // namespace
