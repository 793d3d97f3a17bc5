#pragma once

#include "platform/FileSystem.h"

#include <optional>
#include <string>
#include <vector>

// The files a run writes into its destination itself: its log, its shortcut, its link report. A
// site's file must never replace them, so an address is judged by the local file it would be
// stored as, as the fetcher names it. Files are told apart by identity, not by spelling: a second
// slash in the address, or a report named through another path, still meets the same file.
class COwnFiles
{
public:
    COwnFiles() = default;
    // `paths` name the run's own files, which exist by now; a path naming nothing is passed over.
    // `strDestDir` and `strStartDir` end with '/'; `bNoNameAsIndex` as the fetcher takes it.
    COwnFiles(const std::vector<std::string>& paths, std::string strDestDir, std::string strStartDir,
              bool bNoNameAsIndex);

    // The own file that storing `address` would replace, or nothing.
    std::optional<std::string> Replaced(const std::string& address) const;

private:
    struct File
    {
        std::string path;
        std::string lowerName; // for a first look that needs no system call
        FileSystem::Identity identity;
    };

    std::vector<File> m_files;
    std::string m_strDestDir;
    std::string m_strStartDir;
    bool m_bNoNameAsIndex = false;
};
