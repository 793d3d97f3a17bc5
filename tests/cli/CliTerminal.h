#pragma once

#include <string>
#include <termios.h>
#include <vector>

// harvestly-cli started on a pseudo-terminal of its own, as a person starts it in a shell: the
// terminal is its controlling terminal and its stdin, stdout and stderr.
class CCliTerminal
{
public:
    CCliTerminal(const std::vector<std::string>& arguments, const std::string& configHome);
    ~CCliTerminal();
    CCliTerminal(const CCliTerminal&) = delete;
    CCliTerminal& operator=(const CCliTerminal&) = delete;

    // Reads what the program shows until `text` has appeared; false when the program ends first
    // or nothing comes for a long while.
    bool WaitFor(const std::string& text);
    void Type(const std::string& keys) const;
    // Reads the rest of the output and waits for the end; the exit status, or 128 + the signal.
    int Wait();

    // Everything shown so far, echo included.
    const std::string& Screen() const { return m_screen; }
    // The terminal's modes as they are now (the program's changes stay on the terminal).
    termios Modes() const;

private:
    bool ReadSome();

    int m_master = -1;
    int m_pid = -1;
    int m_status = -1;
    std::string m_screen;
};
