#include "parse/OwnFiles.h"

#include "support/TempDir.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <unistd.h>

namespace
{

TEST(OwnFiles, AnAddressIsJudgedByTheFileItWouldBeStoredAs)
{
    CTempDir dest;
    CTempDir elsewhere;
    WriteWholeFile(dest / "error.log", "log");
    WriteWholeFile(dest / "shortcut.url", "shortcut");
    WriteWholeFile(dest / "sub/why.csv", "report");
    WriteWholeFile(dest / "index.html", "report named index.html");
    WriteWholeFile(dest / "sub/error.log", "a site's file of the same name");
    WriteWholeFile(elsewhere / "outside.csv", "report outside the destination");
    // A link in the destination is replaced itself when a file is stored there; its target is not.
    ASSERT_EQ(::symlink((dest / "error.log").c_str(), (dest / "log-link.log").c_str()), 0);
    const std::vector<std::string> own{dest / "error.log",  dest / "shortcut.url",     dest / "sub/why.csv",
                                       dest / "index.html", elsewhere / "outside.csv", dest / "missing.txt"};
    const std::string start = "http://h/a/";

    struct Case
    {
        std::string address;
        bool bNoNameAsIndex;
        std::optional<std::string> replaced;
    };
    const Case cases[] = {
        {start + "error.log", false, dest / "error.log"},
        {start + "shortcut.url", false, dest / "shortcut.url"},
        {start + "sub/why.csv", false, dest / "sub/why.csv"},
        {start + "sub//why.csv", false, dest / "sub/why.csv"},
        {start + "/error.log", false, dest / "error.log"},
        {start + "sub/error.log", false, std::nullopt},
        {start + "error.log2", false, std::nullopt},
        {start + "log-link.log", false, std::nullopt},
        {start + "missing.txt", false, std::nullopt},
        {start + "outside.csv", false, std::nullopt},
        {start + "index.html", false, dest / "index.html"},
        // A folder address is stored as index.html only when asked to; otherwise under a private
        // name that never replaces anything.
        {start, true, dest / "index.html"},
        {start, false, std::nullopt},
        {start + "sub/", true, std::nullopt},
    };
    for (const Case& test : cases)
    {
        const COwnFiles files(own, dest.Path(), start, test.bNoNameAsIndex);
        EXPECT_EQ(files.Replaced(test.address), test.replaced) << test.address;
    }

    // The report named through another path, and a name written in other case where the file
    // system takes it for the same name, are still the same file.
    std::filesystem::create_directory_symlink(dest.Path(), elsewhere / "dest-link");
    const COwnFiles throughLink({elsewhere / "dest-link/sub/why.csv"}, dest.Path(), start, false);
    EXPECT_EQ(throughLink.Replaced(start + "sub/why.csv"), elsewhere / "dest-link/sub/why.csv");
    WriteWholeFile(dest / "Report.CSV", "x");
    const COwnFiles upper({dest / "Report.CSV"}, dest.Path(), start, false);
    EXPECT_EQ(upper.Replaced(start + "Report.CSV"), dest / "Report.CSV");
    EXPECT_EQ(upper.Replaced(start + "report.csv"), std::nullopt) << "another file on this file system";
    EXPECT_EQ(COwnFiles().Replaced(start + "error.log"), std::nullopt);
}

} // namespace
