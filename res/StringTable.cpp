#include "res/StringTable.h"

#include <array>
#include <utility>

namespace
{

// The user-interface texts are Chinese, stored as UTF-8.
constexpr std::array<std::pair<unsigned, const char*>, 15> kStrings = {{
    {IDS_ABOUTBOX, "(&A)关于 Harvestly..."},
    {IDS_SOCKETS_FAILED, "Windows插座初始化失败."},
    {IDS_VERSION, "Harvestly v1.12建造 %ld"},
    {IDS_BROWSE_TITLE, "选择目录为文件目标..."},
    {IDS_ALLOW_HTTPS, "(&S)允许 HTTPS 网址"},
    {IDS_HTML_WITH_PARAMETERS, "(&C)读取带字符集的网页"},
    {IDS_FOLLOW_CSS, "(&Y)跟随样式表"},
    {IDS_ROBOTS, "(&R)遵守 robots.txt"},
    {IDS_CONVERT_LINKS, "(&L)转换链接以便离线浏览"},
    {IDS_WAIT_MS, "(&W)等待 (毫秒):"},
    {IDS_LIMIT_RATE, "(&M)限速 (字节/秒):"},
    {IDS_MORE_OPTIONS, "(&P)更多选项..."},
    {IDS_COMPRESSED, "(&Z)请求压缩传输"},
    {IDS_CONNECTIONS, "(&N)连接数 (1-8):"},
    {IDS_RESUME, "(&E)断点续传"},
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
