#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The two decoding passes the page reader applies to every line before scanning it for links.
namespace LinkDecoding
{

// "&amp;" and "&quot;" (the latter also without its ';'). `origins`, when given, holds one entry
// per byte of the line (where that byte came from) and is kept in step with it.
void DecodeEntities(std::string& line, std::vector<std::uint32_t>* origins = nullptr);
// Percent escapes; any two letters or digits after the '%' count.
void DecodeEscapes(std::string& line, std::vector<std::uint32_t>* origins = nullptr);
// Both passes, in the reader's order; afterwards origins[i] is the offset in the line as given
// of the text that byte i stands for.
void DecodeTracked(std::string& line, std::vector<std::uint32_t>& origins);

} // namespace LinkDecoding
