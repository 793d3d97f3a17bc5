#pragma once

// Counts SIGINT and SIGTERM for the console front end, which polls the count: the first asks the
// run to stop after the current file, the second ends the current file too.
namespace InterruptSignals
{

void Install();
int Count();

} // namespace InterruptSignals
