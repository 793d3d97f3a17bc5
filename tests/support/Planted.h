#pragma once

#include <string>

// What a careless or hostile hand may leave at a name the program writes itself.
enum class Planted
{
    LinkToFile,
    DanglingLink,
    Fifo,
    Folder,
};

inline constexpr Planted kEveryPlanted[] = {Planted::LinkToFile, Planted::DanglingLink, Planted::Fifo,
                                            Planted::Folder};

const char* NameOf(Planted kind);
// Puts `kind` at `path`. A link points at `target`, which a link to a file creates holding
// `targetText`; a dangling link's target is left absent.
void Plant(Planted kind, const std::string& path, const std::string& target,
           const std::string& targetText = "precious");
