#include <csignal>
#include <cstdio>

#include "Converter.h"

int main(int argc, char** argv)
{
    // A reader that goes away must not kill the converter; writes then fail with EPIPE.
    std::signal(SIGPIPE, SIG_IGN);
    std::vector<std::string> args(argv + 1, argv + argc);
    CConverter converter(stdout, stderr);
    return converter.Run(argv[0], args);
}
