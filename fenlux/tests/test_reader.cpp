// Test stand-in for the converter: writes the file it is given to standard output.
// Options: --hang keeps running after the file until it is stopped; --fixed writes a
// small fixed table instead of a file; --echo-args writes its argument count as the header.
#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

int main(int argc, char** argv)
{
    bool hang = false, fixed = false, echo = false;
    for (int i = 1; i < argc - 1; ++i) {
        hang = hang || std::strstr(argv[i], "--hang") != nullptr;
        fixed = fixed || std::strstr(argv[i], "--fixed") != nullptr;
        echo = echo || std::strstr(argv[i], "--echo-args") != nullptr;
    }
    if (echo)
        std::printf("# header argc=%d\n", argc);
    if (fixed) {
        std::fputs("# instrument T1- 7\n"
                   "# header \"Fixed table\"\n"
                   "\n"
                   "\"date\" \"time\" \"period\" \"v1_mean\" \"v1_max\"\n"
                   "2004-03-04 05:06:07 0    1.50   20.00\n"
                   "2004-03-04 05:16:07 0    1.75   21.00\n"
                   "2004-03-04 05:26:07 0    2.00   22.00", // no line end on the last line
                   stdout);
    } else if (argc > 1) {
        if (FILE* f = std::fopen(argv[argc - 1], "rb")) {
            char buf[65536];
            size_t n;
            while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
                std::fwrite(buf, 1, n, stdout);
            std::fclose(f);
        }
    }
    std::fflush(stdout);
    if (hang)
        for (;;)
            std::this_thread::sleep_for(std::chrono::hours(1));
    return 0;
}
