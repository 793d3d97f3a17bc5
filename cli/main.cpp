#include "cli/CliOptions.h"
#include "cli/ConsoleRun.h"
#include "platform/ConsoleMessagePresenter.h"
#include "run/MainApp.h"

#include <cstdio>

int main(int argc, char* argv[])
{
    const CliParseResult parsed = ParseCliOptions({argv + 1, argv + argc});
    if (!parsed.options)
    {
        std::fprintf(stderr, "harvestly-cli: %s\n", parsed.strError.c_str());
        return kStatusBadInput;
    }
    if (parsed.options->bHelp)
    {
        std::fputs(CliUsageText(), stdout);
        return kStatusComplete;
    }

    CMainApp theApp;
    CConsoleMessagePresenter presenter;
    theApp.SetMessagePresenter(&presenter);
    if (!theApp.Initialize())
        return kStatusFailed;
    if (parsed.options->bVersion)
    {
        std::printf("%s\n", theApp.GetVersionText().c_str());
        return kStatusComplete;
    }

    const int status = CConsoleRun(theApp, *parsed.options).Run();
    theApp.SetMessagePresenter(nullptr);
    return status;
}
