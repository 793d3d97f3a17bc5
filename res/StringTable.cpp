#include "res/StringTable.h"

#include <array>
#include <utility>

namespace
{

// The user-interface texts are Chinese, stored as UTF-8.
constexpr std::array<std::pair<unsigned, const char*>, 4> kStrings = {{
    {IDS_ABOUTBOX, "(&A)关于 Harvestly..."},
    {IDS_SOCKETS_FAILED, "Windows插座初始化失败."},
    {IDS_VERSION, "Harvestly v1.12建造 %ld"},
    {IDS_BROWSE_TITLE, "选择目录为文件目标..."},
}};

} // namespace

std::string LoadResString(unsigned id)
{
    for (const auto& [stringId, text] : kStrings)
    {
        if (stringId == id)
            return text;
    }
    return {};
}
