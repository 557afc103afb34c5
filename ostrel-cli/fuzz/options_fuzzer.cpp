// Reads arbitrary bytes as the converter's command line (arguments separated by NUL
// bytes), then converts a small data log with the options it took and reads the table
// back: whatever the options, the table holds the log's rows, times and values.

#include <ostrel-cli/Converter.h>
#include <ostrel/Ostrel.h>
#include <ostrel/RecordWriter.h>

#include <testing/ConvertedTable.h>
#include <testing/FuzzSupport.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>
#include <unistd.h>

using namespace varno::converter;

using varno::testing::ConvertedRow;
using varno::testing::convertInProcess;
using varno::testing::rowsOf;
using varno::testing::fuzz::check;

namespace {

std::string g_folder;

std::string pathIn(const char* name)
{
    return g_folder + "/" + name;
}

void writeFile(const std::string& path, const void* data, size_t size)
{
    std::FILE* file = std::fopen(path.c_str(), "wb");
    check(file != nullptr && std::fwrite(data, 1, size, file) == size && std::fclose(file) == 0);
}

void removeFolder()
{
    std::remove(pathIn("log.vrn").c_str());
    std::remove(pathIn("table.txt").c_str());
    ::rmdir(g_folder.c_str());
}

// A data log with a title, two column sets, finite and infinite values and a NaN.
void writeLog()
{
    varno::ostrel::records::Writer w;
    w.text("# varno 305 version 3.1 tarnvik orbelmetrik nr 42");
    w.text("# \"Tower A\"");
    w.text("# 04.03.2004 05:00:00");
    w.text("# set stat period 600");
    w.text("# stat format = mean max");
    w.floats({1.5f, 20, -0.25f, 12345.678f, 0.001f, 1e30f, 359.5f});
    w.text("# stat format = mean");
    w.floats({2.25f, -1, 0, 3.14159f});
    w.halfFloats({0x7C00, 0xFC00, 0xFFFF, 0x3C00});
    writeFile(pathIn("log.vrn"), w.bytes().data(), w.bytes().size());
}

// The rows read back: the same times, the 0 of the period column, then the same values as
// far as the number format shows them; with the column lines of the data (-a), the same
// names over them.
void checkTable(const ConverterOptions& options, const std::string& table)
{
    writeFile(pathIn("table.txt"), table.data(), table.size());
    std::unique_ptr<COstrel> original(COstrel::newObject());
    std::unique_ptr<COstrel> back(COstrel::newObject());
    check(original->Load(pathIn("log.vrn")));
    check(back->Load(pathIn("table.txt")));
    const std::vector<ConvertedRow> expected = rowsOf(*original, options.selection);
    const std::vector<ConvertedRow> found = rowsOf(*back, {});
    check(found.size() == expected.size());
    for (size_t k = 0; k < expected.size(); ++k) {
        check(found[k].time == expected[k].time);
        check(found[k].values.size() == expected[k].values.size() + 1 && found[k].values[0] == 0);
        for (size_t j = 0; j < expected[k].values.size(); ++j) {
            std::string a, b;
            options.numberFormat.Append(a, found[k].values[j + 1]);
            options.numberFormat.Append(b, expected[k].values[j]);
            check(a == b);
        }
        if (options.all) {
            std::vector<std::string> names{"period"};
            names.insert(names.end(), expected[k].names.begin(), expected[k].names.end());
            check(found[k].names == names);
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    const char* tmp = std::getenv("TMPDIR");
    std::string folder = std::string(tmp && *tmp ? tmp : "/tmp") + "/ostrel-cli-fuzz-XXXXXX";
    check(::mkdtemp(&folder[0]) != nullptr);
    g_folder = folder;
    std::atexit(removeFolder);
    writeLog();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string input(reinterpret_cast<const char*>(data), size);
    ConverterOptions options;
    std::vector<std::string> args;
    for (size_t at = 0; at < input.size();) {
        size_t end = input.find('\0', at);
        if (end == std::string::npos)
            end = input.size();
        const std::string arg = input.substr(at, end - at);
        at = end + 1;
        if (IsFileArgument(arg))
            continue;
        // No command is started and no dialog asked for.
        if (arg[1] == 'c' || arg[1] == 'i')
            continue;
        ApplyOption(arg, options);
        args.push_back(arg);
    }
    args.push_back(pathIn("log.vrn"));
    std::string messages;
    const std::string table = convertInProcess(args, messages);
    // Help writes no table, test mode the library's entry texts.
    if (!options.help && !options.test)
        checkTable(options, table);
    return 0;
}
