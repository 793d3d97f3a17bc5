#include "cli/PasswordPrompt.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace
{

constexpr int kSignals[] = {SIGINT, SIGQUIT, SIGTERM, SIGHUP};
constexpr size_t kSignalCount = sizeof kSignals / sizeof kSignals[0];

// What the handler needs to put the terminal back; set only while echo is off.
int g_terminal = -1;
termios g_saved{};

void RestoreAndDie(int signal)
{
    ::tcsetattr(g_terminal, TCSAFLUSH, &g_saved);
    [[maybe_unused]] const ssize_t shown = ::write(g_terminal, "\n", 1);
    // SA_RESETHAND gave the signal its default action back; it ends the program on return.
    ::raise(signal);
}

// Echo off for the life of the object, with handlers that restore it when a signal would end the
// program at the prompt; the previous handlers come back afterwards.
class CEchoOff
{
public:
    explicit CEchoOff(int terminal)
    {
        if (::tcgetattr(terminal, &g_saved) != 0)
            return;
        g_terminal = terminal;
        struct sigaction action = {};
        action.sa_handler = RestoreAndDie;
        action.sa_flags = SA_RESETHAND;
        sigemptyset(&action.sa_mask);
        for (size_t i = 0; i < kSignalCount; ++i)
            ::sigaction(kSignals[i], &action, &m_previous[i]);

        termios quiet = g_saved;
        quiet.c_lflag &= static_cast<tcflag_t>(~ECHO);
        quiet.c_lflag |= ECHONL;
        // Flushing drops what was typed ahead while it still echoed.
        m_bActive = ::tcsetattr(terminal, TCSAFLUSH, &quiet) == 0;
    }

    ~CEchoOff()
    {
        if (g_terminal < 0)
            return;
        ::tcsetattr(g_terminal, TCSAFLUSH, &g_saved);
        for (size_t i = 0; i < kSignalCount; ++i)
            ::sigaction(kSignals[i], &m_previous[i], nullptr);
        g_terminal = -1;
    }

    CEchoOff(const CEchoOff&) = delete;
    CEchoOff& operator=(const CEchoOff&) = delete;

    bool Active() const { return m_bActive; }

private:
    struct sigaction m_previous[kSignalCount] = {};
    bool m_bActive = false;
};

void WriteAll(int fd, const std::string& text)
{
    size_t done = 0;
    while (done < text.size())
    {
        const ssize_t written = ::write(fd, text.data() + done, text.size() - done);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return;
        done += static_cast<size_t>(written);
    }
}

std::optional<std::string> ReadLine(int fd)
{
    std::string line;
    for (;;)
    {
        char c = 0;
        const ssize_t got = ::read(fd, &c, 1);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return line.empty() ? std::nullopt : std::optional<std::string>(line);
        if (c == '\n')
            break;
        line += c;
    }
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return line;
}

} // namespace

namespace PasswordPrompt
{

std::optional<std::string> Ask(const std::string& prompt)
{
    const int terminal = ::open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (terminal < 0)
        return std::nullopt;
    std::optional<std::string> password;
    {
        const CEchoOff echoOff(terminal);
        // The prompt comes once echo is off: whatever the user types after seeing it stays hidden.
        if (echoOff.Active())
        {
            WriteAll(terminal, prompt);
            password = ReadLine(terminal);
            if (!password)
                WriteAll(terminal, "\n"); // input ended without the newline that ECHONL shows
        }
    }
    ::close(terminal);
    return password;
}

} // namespace PasswordPrompt
