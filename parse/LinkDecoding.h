#pragma once

#include <string>

// The two decoding passes the page reader applies to every line before scanning it for links.
namespace LinkDecoding
{

// "&amp;" and "&quot;" (the latter also without its ';').
void DecodeEntities(std::string& line);
// Percent escapes; any two letters or digits after the '%' count.
void DecodeEscapes(std::string& line);

} // namespace LinkDecoding
