// Loads arbitrary bytes as a file through the conversion object, whichever reader they
// pick, and asks every query of the entries; the first line also serves as a number format.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <sys/mman.h>
#include <unistd.h>

#include <ostrel/DataStore.h>
#include <ostrel/NumberFormat.h>
#include <ostrel/OstrelUi.h>

using namespace varno::ostrel;

namespace {

// Messages about files too short to read would only fill the fuzzer's output.
class QuietUi : public COstrelUi {
public:
    void ShowMessage(const std::string&, const std::string&) override {}
};

void queryEverything(CDataStore& store)
{
    const int count = store.GetEntryCount();
    for (int i = -1; i <= count; ++i) {
        store.GetEntryText(i);
        store.GetColumnNames(i);
        store.GetEntryTime(i);
        store.GetValueByName(i, "v1");
        store.GetValueByName(i, "col_3");
        for (int j = -1; j <= store.GetValueCount(i); ++j)
            store.GetValue(i, j);
    }
    store.GetResultText();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static QuietUi quiet;
    ostrel_setui(&quiet);
    const int fd = memfd_create("ostrel-fuzz", MFD_CLOEXEC);
    if (fd < 0 || write(fd, data, size) != ssize_t(size)) {
        if (fd >= 0)
            close(fd);
        return 0;
    }
    CDataStore store;
    store.Load("/proc/self/fd/" + std::to_string(fd));
    close(fd);
    queryEverything(store);

    const char* text = reinterpret_cast<const char*>(data);
    const std::string firstLine(text, std::find(text, text + size, '\n'));
    CNumberFormat format;
    if (format.Set(firstLine)) {
        std::string out;
        for (double v : {0.0, -1.5, 1e300, 123456.789})
            format.Append(out, v);
    }
    return 0;
}
