#pragma once

#include <string>
#include <vector>

// harvestly-cli started as a child process, as a user or a script would start it: no terminal,
// stdin from /dev/null, stdout and stderr captured.
class CCliProcess
{
public:
    // `configHome` becomes XDG_CONFIG_HOME of the child.
    CCliProcess(const std::vector<std::string>& arguments, const std::string& configHome);
    ~CCliProcess();
    CCliProcess(const CCliProcess&) = delete;
    CCliProcess& operator=(const CCliProcess&) = delete;

    void Signal(int signal) const;
    // Waits for the child; its exit status, or 128 + the signal that ended it.
    int Wait();

    std::string Stdout() const;
    std::string Stderr() const;

private:
    int m_pid = -1;
    int m_status = -1;
    std::string m_outPath;
    std::string m_errPath;
};

// Runs to the end and returns the exit status.
int RunCli(const std::vector<std::string>& arguments, const std::string& configHome,
           std::string* out = nullptr, std::string* err = nullptr);
