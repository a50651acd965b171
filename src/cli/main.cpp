#include "cli/CliApp.h"

#include <iostream>

int main(int argc, char** argv)
{
    CCliApp app(std::cout, std::cerr);
    return app.Run(std::vector<std::string>(argv + 1, argv + argc));
}
