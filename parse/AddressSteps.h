#pragma once

#include <string>

// Rewriting of resolved addresses before they are looked up: parent steps and doubled slashes.
namespace AddressSteps
{

// Each ".." takes away the folder before it.
void ResolveParentSteps(std::string& address);
// Past the scheme's "//", the first of two neighbouring slashes goes.
void CollapseSlashes(std::string& address);

} // namespace AddressSteps
