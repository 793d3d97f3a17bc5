#include "CliProcess.h"

#include "support/TempDir.h"

#include <cstdlib>
#include <fcntl.h>
#include <signal.h>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

namespace
{

std::string TempFile(const char* stem)
{
    std::string pattern = std::string("/tmp/harvestly-cli-") + stem + "-XXXXXX";
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0)
        throw std::runtime_error("cannot create a capture file");
    ::close(fd);
    return pattern;
}

} // namespace

CCliProcess::CCliProcess(const std::vector<std::string>& arguments, const std::string& configHome)
    : m_outPath(TempFile("out")), m_errPath(TempFile("err"))
{
    std::vector<char*> argv;
    std::string program = HARVESTLY_CLI_PATH;
    argv.push_back(program.data());
    std::vector<std::string> copies = arguments;
    for (std::string& argument : copies)
        argv.push_back(argument.data());
    argv.push_back(nullptr);

    // Everything the child needs is built before fork: between fork and exec only
    // async-signal-safe calls are allowed, and the test has server threads running.
    std::vector<std::string> environment = {"XDG_CONFIG_HOME=" + configHome};
    for (char** variable = environ; *variable != nullptr; ++variable)
    {
        if (std::string(*variable).rfind("XDG_CONFIG_HOME=", 0) != 0)
            environment.emplace_back(*variable);
    }
    std::vector<char*> envp;
    for (std::string& variable : environment)
        envp.push_back(variable.data());
    envp.push_back(nullptr);

    m_pid = ::fork();
    if (m_pid < 0)
        throw std::runtime_error("cannot start harvestly-cli");
    if (m_pid == 0)
    {
        const int in = ::open("/dev/null", O_RDONLY);
        const int out = ::open(m_outPath.c_str(), O_WRONLY | O_TRUNC);
        const int err = ::open(m_errPath.c_str(), O_WRONLY | O_TRUNC);
        ::dup2(in, 0);
        ::dup2(out, 1);
        ::dup2(err, 2);
        ::execve(argv[0], argv.data(), envp.data());
        ::_exit(127);
    }
}

CCliProcess::~CCliProcess()
{
    if (m_status < 0 && m_pid > 0)
    {
        ::kill(m_pid, SIGKILL);
        Wait();
    }
    ::unlink(m_outPath.c_str());
    ::unlink(m_errPath.c_str());
}

void CCliProcess::Signal(int signal) const
{
    ::kill(m_pid, signal);
}

int CCliProcess::Wait()
{
    if (m_status >= 0)
        return m_status;
    int raw = 0;
    while (::waitpid(m_pid, &raw, 0) < 0)
    {
    }
    m_status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
    return m_status;
}

std::string CCliProcess::Stdout() const
{
    return ReadWholeFile(m_outPath);
}

std::string CCliProcess::Stderr() const
{
    return ReadWholeFile(m_errPath);
}

int RunCli(const std::vector<std::string>& arguments, const std::string& configHome, std::string* out,
           std::string* err)
{
    CCliProcess process(arguments, configHome);
    const int status = process.Wait();
    if (out)
        *out = process.Stdout();
    if (err)
        *err = process.Stderr();
    return status;
}
