#include "platform/LocalFile.h"

#include "platform/FileSystem.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

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
