#include "CliTerminal.h"

#include <cerrno>
#include <csignal>
#include <poll.h>
#include <pty.h>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

namespace
{

// Long enough for a loaded machine; only a program that hangs gets near it.
constexpr int kQuietLimitMs = 30000;

} // namespace

CCliTerminal::CCliTerminal(const std::vector<std::string>& arguments, const std::string& configHome)
{
    // Built before fork: the test has server threads, so the child may only exec.
    std::string program = HARVESTLY_CLI_PATH;
    std::vector<std::string> copies = arguments;
    std::vector<char*> argv = {program.data()};
    for (std::string& argument : copies)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    std::vector<std::string> environment = {"XDG_CONFIG_HOME=" + configHome, "TERM=dumb"};
    for (char** variable = environ; *variable != nullptr; ++variable)
    {
        const std::string text = *variable;
        if (text.rfind("XDG_CONFIG_HOME=", 0) != 0 && text.rfind("TERM=", 0) != 0)
            environment.push_back(text);
    }
    std::vector<char*> envp;
    for (std::string& variable : environment)
        envp.push_back(variable.data());
    envp.push_back(nullptr);

    winsize size{};
    size.ws_col = 100;
    size.ws_row = 30;
    m_pid = ::forkpty(&m_master, nullptr, nullptr, &size);
    if (m_pid < 0)
        throw std::runtime_error("cannot start harvestly-cli on a terminal");
    if (m_pid == 0)
    {
        ::execve(argv[0], argv.data(), envp.data());
        ::_exit(127);
    }
}

CCliTerminal::~CCliTerminal()
{
    if (m_status < 0)
    {
        ::kill(m_pid, SIGKILL);
        Wait();
    }
    ::close(m_master);
}

bool CCliTerminal::ReadSome()
{
    pollfd ready = {m_master, POLLIN, 0};
    const int count = ::poll(&ready, 1, kQuietLimitMs);
    if (count <= 0)
        return false;
    char buffer[512];
    const ssize_t got = ::read(m_master, buffer, sizeof buffer);
    if (got <= 0)
        return false; // EIO: the program closed the terminal
    m_screen.append(buffer, static_cast<size_t>(got));
    return true;
}

bool CCliTerminal::WaitFor(const std::string& text)
{
    while (m_screen.find(text) == std::string::npos)
    {
        if (!ReadSome())
            return false;
    }
    return true;
}

void CCliTerminal::Type(const std::string& keys) const
{
    if (::write(m_master, keys.data(), keys.size()) != static_cast<ssize_t>(keys.size()))
        throw std::runtime_error("cannot type on the terminal");
}

int CCliTerminal::Wait()
{
    if (m_status >= 0)
        return m_status;
    while (ReadSome())
    {
    }
    int raw = 0;
    while (::waitpid(m_pid, &raw, 0) < 0 && errno == EINTR)
    {
    }
    m_status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
    return m_status;
}

termios CCliTerminal::Modes() const
{
    termios modes{};
    ::tcgetattr(m_master, &modes);
    return modes;
}
