#include "cli/CliApp.h"
#include "logging/ToolLog.h"

#include <iostream>

int main(int argc, char** argv)
{
    // The command line writes its records to the same log files as the window.
    CToolLog log;
    CCliApp app(std::cout, std::cerr);
    return app.Run(std::vector<std::string>(argv + 1, argv + argc));
}
