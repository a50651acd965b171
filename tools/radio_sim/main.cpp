// A radio that answers QRNP, for trying the connection test by hand:
//   rz_radio_sim [--address A] [--port P] [--node-id N] [--reject | --silent]
//                [--query-result R] [--data HEX]...
// It prints what it receives and runs until it is interrupted.
#include "RadioSimulator.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace
{

std::vector<uint8_t> FromHex(const std::string& text)
{
    std::vector<uint8_t> bytes;
    for (size_t i = 0; i + 1 < text.size(); i += 2)
        bytes.push_back(static_cast<uint8_t>(std::strtoul(text.substr(i, 2).c_str(), nullptr, 16)));
    return bytes;
}

int Usage()
{
    std::fprintf(stderr, "usage: rz_radio_sim [--address A] [--port P] [--node-id N] "
                         "[--reject | --silent] [--query-result R] [--data HEX]...\n");
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    CRadioSimulator::Options options;
    for (int i = 1; i < argc; ++i)
    {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--address" && hasValue)
            options.address = argv[++i];
        else if (arg == "--port" && hasValue)
            options.port = static_cast<uint16_t>(std::atoi(argv[++i]));
        else if (arg == "--node-id" && hasValue)
            options.nodeId = static_cast<uint8_t>(std::strtoul(argv[++i], nullptr, 0));
        else if (arg == "--query-result" && hasValue)
            options.queryResults = {static_cast<uint8_t>(std::atoi(argv[++i]))};
        else if (arg == "--data" && hasValue)
            options.dataAfterLink.push_back(FromHex(argv[++i]));
        else if (arg == "--reject")
            options.mode = CRadioSimulator::Mode::Reject;
        else if (arg == "--silent")
            options.mode = CRadioSimulator::Mode::Silent;
        else
            return Usage();
    }
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    sigprocmask(SIG_BLOCK, &signals, nullptr);

    CRadioSimulator radio;
    radio.SetTrace(true);
    if (!radio.Start(options))
    {
        std::fprintf(stderr, "rz_radio_sim: %s\n", radio.Error().c_str());
        return 1;
    }
    std::printf("radio: listening on %s:%u as node 0x%02X\n", options.address.c_str(), radio.Port(),
                options.nodeId);
    std::fflush(stdout);
    int received = 0;
    sigwait(&signals, &received);
    return 0;
}
