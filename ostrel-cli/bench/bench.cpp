// Measures loading and converting data logs, each in a fresh process so that the peak
// memory belongs to that step alone.
//
//   ostrel-bench file.vrn...            each file in turn
//   ostrel-bench --odd-inputs FOLDER    writes odd inputs into FOLDER and measures them: a
//                                       text file of one 64 MB line, a 2 GB sparse file of
//                                       zeros, 64 MB of random bytes, and the same behind a
//                                       valid record head (so that the data-log decoder reads
//                                       them); and 64 MB each of what makes the most entries
//                                       or values: line feeds, two-byte filler records,
//                                       statistics records of one channel with random values
//                                       (7 bytes, 13 values), and text rows of a large number
//                                       and 994 empty fields, each row unlike the one before

#include <chrono>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <random>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include <ostrel-cli/Converter.h>
#include <ostrel/Ostrel.h>

using namespace varno::converter;

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

bool benchFile(const std::string& path, const char* programPath)
{
    struct stat info {};
    if (stat(path.c_str(), &info) != 0) {
        std::fprintf(stderr, "ostrel-bench: cannot read %s\n", path.c_str());
        return false;
    }
    const double megabytes = double(info.st_size) / (1024 * 1024);
    std::printf("file     %s, %.1f MB\n", path.c_str(), megabytes);
    measure("load", megabytes, [&] {
        std::unique_ptr<COstrel> data(COstrel::newObject());
        data->Load(path);
        return long(data->GetEntryCount());
    });
    measure("convert", megabytes, [&] {
        FILE* devnull = std::fopen("/dev/null", "w");
        FILE* err = std::fopen("/dev/null", "w"); // the warning about no entries
        CConverter converter(devnull, err);
        converter.Run(programPath, {path});
        std::fclose(devnull);
        std::fclose(err);
        return 0L;
    });
    return true;
}

// A file of size bytes, each made by next().
template <typename Next>
bool writeFile(const std::string& path, size_t size, Next next)
{
    FILE* f = std::fopen(path.c_str(), "wb");
    std::vector<unsigned char> block(1 << 20);
    for (size_t done = 0; f && done < size; done += block.size()) {
        for (unsigned char& byte : block)
            byte = next();
        std::fwrite(block.data(), 1, std::min(block.size(), size - done), f);
    }
    return f && std::fclose(f) == 0;
}

std::vector<std::string> writeOddInputs(const std::string& folder)
{
    const size_t size = size_t(64) << 20;
    const std::string line = folder + "/one-line.txt";
    const std::string zeros = folder + "/zeros.bin";
    const std::string garbage = folder + "/garbage.bin";
    const std::string garbageLog = folder + "/garbage-log.vrn";
    const std::string newlines = folder + "/newlines.txt";
    const std::string fillers = folder + "/fillers.vrn";
    const std::string statistics = folder + "/statistics.vrn";
    const std::string emptyFields = folder + "/empty-fields.txt";
    std::mt19937 random(12);
    bool ok = writeFile(line, size, [] { return 'a'; }) && writeFile(garbage, size, [&] { return random(); });
    // Each repeats a pattern; pattern(k) gives byte k of it, random() the random bytes.
    const auto repeating = [&](const std::string& path, size_t length, auto pattern) {
        size_t k = 0;
        return writeFile(path, size, [&] { return pattern(k++ % length); });
    };
    // Rows differ from the one before, so that none shares the bytes of another.
    std::string row;
    size_t rows = 0;
    const auto emptyFieldsRow = [&](size_t k) {
        if (k == 0)
            row = "1 " + std::to_string(7000 + rows++ % 1000) + std::string(994, ',') + "\n";
        return row[k];
    };
    ok = ok && repeating(garbageLog, size, [&](size_t k) { return k < 3 ? "\x02\x01\x41"[k] : char(random()); })
         && repeating(newlines, 1, [](size_t) { return '\n'; })
         && repeating(fillers, 2, [](size_t k) { return char(k == 0 ? 1 : 0); }) // length 1, type 0
         && repeating(statistics, 7, [&](size_t k) { return k == 0 ? char(6) : k == 1 ? char(0xF1) : char(random()); })
         && repeating(emptyFields, 1001, emptyFieldsRow);
    const int fd = open(zeros.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ok = ok && fd >= 0 && ftruncate(fd, off_t(2048) << 20) == 0;
    if (fd >= 0)
        close(fd);
    if (!ok) {
        std::fprintf(stderr, "ostrel-bench: cannot write the inputs into %s\n", folder.c_str());
        return {};
    }
    return {line, zeros, garbage, garbageLog, newlines, fillers, statistics, emptyFields};
}

} // namespace

int main(int argc, char** argv)
{
    std::vector<std::string> files(argv + 1, argv + argc);
    if (files.size() == 2 && files[0] == "--odd-inputs")
        files = writeOddInputs(files[1]);
    if (files.empty()) {
        std::fprintf(stderr, "usage: ostrel-bench file.vrn... | --odd-inputs folder\n");
        return 2;
    }
    bool ok = true;
    for (const std::string& path : files)
        ok = benchFile(path, argv[0]) && ok;
    return ok ? 0 : 1;
}
