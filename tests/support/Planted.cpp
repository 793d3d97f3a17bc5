#include "support/Planted.h"

#include "support/TempDir.h"

#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

const char* NameOf(Planted kind)
{
    switch (kind)
    {
    case Planted::LinkToFile:
        return "a link to a file";
    case Planted::DanglingLink:
        return "a dangling link";
    case Planted::Fifo:
        return "a FIFO";
    case Planted::Folder:
        return "a folder";
    }
    return "";
}

void Plant(Planted kind, const std::string& path, const std::string& target, const std::string& targetText)
{
    int result = 0;
    switch (kind)
    {
    case Planted::LinkToFile:
        WriteWholeFile(target, targetText);
        result = ::symlink(target.c_str(), path.c_str());
        break;
    case Planted::DanglingLink:
        result = ::symlink(target.c_str(), path.c_str());
        break;
    case Planted::Fifo:
        result = ::mkfifo(path.c_str(), 0600);
        break;
    case Planted::Folder:
        result = ::mkdir(path.c_str(), 0700);
        break;
    }
    if (result != 0)
        throw std::runtime_error("cannot plant " + std::string(NameOf(kind)) + " at " + path);
}
