#include <csignal>
#include <cstdio>
#include <exception>
#include <new>

#include <ostrel-cli/Converter.h>

using namespace varno::converter;

int main(int argc, char** argv)
{
    // A reader that goes away must not kill the converter; writes then fail with EPIPE.
    std::signal(SIGPIPE, SIG_IGN);
    try {
        std::vector<std::string> args(argv + 1, argv + argc);
        CConverter converter(stdout, stderr);
        return converter.Run(argv[0], args);
    } catch (const std::bad_alloc&) {
        std::fputs("Error: not enough memory\n", stderr);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "Error: %s\n", e.what());
    }
    return 1;
}
