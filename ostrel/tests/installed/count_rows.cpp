// A program of someone else's, built against the installed library: the value rows of a
// data log, the first time and the column names.
#include <cstdio>
#include <memory>
#include <ostrel/Ostrel.h>

int main(int argc, char** argv)
{
    std::unique_ptr<COstrel> log(COstrel::newObject());
    if (argc != 2 || !log->Load(argv[1]))
        return 1;
    int rows = 0;
    for (int i = 0; i < log->GetEntryCount(); ++i)
        rows += (log->GetEntryFlags(i) & LOGF_DATA) ? 1 : 0;
    char first[CUtcTime::PrintBufferSize];
    std::printf("%d rows from %s: %s\n", rows, log->GetMinTime().Print(first, false), log->GetColumnNames(0).c_str());
    return 0;
}
