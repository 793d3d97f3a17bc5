#pragma once

#include <optional>
#include <string>

// Reads a password from the controlling terminal with echo off, so that it appears neither on
// the screen nor in the process list.
namespace PasswordPrompt
{

// Shows `prompt` on the terminal and reads one line. Empty when there is no terminal or input
// ended before anything was typed. An interrupt at the prompt restores the terminal first and
// then ends the program as the signal would.
std::optional<std::string> Ask(const std::string& prompt);

} // namespace PasswordPrompt
