// Measures loading and converting one data log, each in a fresh process so that the peak
// memory belongs to that step alone.
//
//   ostrel-bench file.vrn

#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "Converter.h"
#include "Ostrel.h"

namespace {

long peakMemoryKiB()
{
    FILE* status = std::fopen("/proc/self/status", "r");
    char line[256];
    long kib = -1;
    while (status && std::fgets(line, sizeof line, status))
        if (std::sscanf(line, "VmHWM: %ld kB", &kib) == 1)
            break;
    if (status)
        std::fclose(status);
    return kib;
}

template <typename Step>
void measure(const char* name, double megabytes, Step step)
{
    std::fflush(stdout);
    const pid_t child = fork();
    if (child == 0) {
        const auto begin = std::chrono::steady_clock::now();
        const long entries = step();
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
        const double peak = double(peakMemoryKiB()) / 1024;
        std::printf("%-8s %8.3f s %8.1f MB/s  peak %7.1f MB (%.2f x file)  %ld entries\n", name, seconds,
                    megabytes / seconds, peak, peak / megabytes, entries);
        std::fflush(stdout);
        _exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: ostrel-bench file.vrn\n");
        return 2;
    }
    const std::string path = argv[1];
    struct stat info {};
    if (stat(path.c_str(), &info) != 0) {
        std::fprintf(stderr, "ostrel-bench: cannot read %s\n", path.c_str());
        return 1;
    }
    const double megabytes = double(info.st_size) / (1024 * 1024);
    std::printf("file     %.1f MB\n", megabytes);
    measure("load", megabytes, [&] {
        std::unique_ptr<COstrel> data(COstrel::newObject());
        data->Load(path);
        return long(data->GetEntryCount());
    });
    measure("convert", megabytes, [&] {
        FILE* devnull = std::fopen("/dev/null", "w");
        CConverter converter(devnull, stderr);
        converter.Run(argv[0], {path});
        std::fclose(devnull);
        return 0L;
    });
    return 0;
}
