// transfer: one unattended call of one station; every report is a line on standard output.
#include <atomic>
#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

#include <transfer/TransferProgram.h>

using namespace varno::transfer;

namespace {

// Set by the signal handler, read by the call and by its watcher thread while it dials.
std::atomic<bool> g_stop{false};
static_assert(std::atomic<bool>::is_always_lock_free, "the stop flag is set from a signal handler");

void onStop(int)
{
    g_stop = true;
}

} // namespace

int main(int argc, char** argv)
{
    std::setvbuf(stdout, nullptr, _IONBF, 0);

    // A stop request ends the running download cleanly (nothing partial stays behind),
    // disconnects and still writes the READY line; a second request ends at once.
    struct sigaction action {};
    action.sa_handler = onStop;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESETHAND;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGHUP, &action, nullptr);
    // A supervisor that stops reading must not cost the data being transferred.
    std::signal(SIGPIPE, SIG_IGN);

    std::vector<std::string> args(argv, argv + argc);
    CallEnvironment environment;
    environment.out = stdout;
    environment.interrupted = [] { return g_stop.load(); };
    return RunTransfer(args, environment);
}
