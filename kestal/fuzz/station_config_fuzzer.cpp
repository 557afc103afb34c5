// Reads arbitrary bytes as the terminal reads "station.cfg", writes the station again and
// reads what it wrote, as the terminal and as the transfer program.

#include <kestal/stations/StationConfig.h>

#include <qtsupport/Text.h>
#include <testing/FuzzSupport.h>
#include <transfer/Dictionary.h>

#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

using namespace varno::kestal;

using varno::qtsupport::textFromBytes;
using varno::testing::fuzz::check;
using varno::transfer::Dictionary;

namespace {

bool isBlank(char c)
{
    return std::isspace(static_cast<unsigned char>(c)) != 0;
}

// A value is one line, without white space around it.
void checkValue(const std::string& value)
{
    check(value.find('\n') == std::string::npos);
    check(value.empty() || (!isBlank(value.front()) && !isBlank(value.back())));
}

bool sameRecord(const StationRecord& a, const StationRecord& b)
{
    return a.name == b.name && a.connection == b.connection && a.password == b.password
        && a.folder == b.folder;
}

Dictionary readAsTransfer(const std::string& text)
{
    std::vector<char> bytes(text.begin(), text.end());
    Dictionary dictionary;
    std::FILE* file = fmemopen(bytes.data(), bytes.size(), "r");
    check(file != nullptr);
    dictionary.Read(file);
    std::fclose(file);
    return dictionary;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    StationRecord read;
    ParseStationConfig(std::string(reinterpret_cast<const char*>(data), size), read);
    checkValue(read.name);
    checkValue(read.connection);
    checkValue(read.password);

    const std::string written = StationConfigText(read.name, read.connection, read.password);
    StationRecord back;
    ParseStationConfig(written, back);
    check(sameRecord(back, read));

    const Dictionary transfer = readAsTransfer(written);
    check(transfer.Lookup("connection").value_or(std::string()) == read.connection);
    check(transfer.Lookup("password").value_or(std::string()) == read.password);

    // The station dialogs show the connection in two fields and store it unchanged.
    const QString connection = textFromBytes(read.connection);
    const ConnectionFields fields = SplitConnection(connection);
    check(JoinConnection(fields.connectUsing, fields.phoneNumber) == connection.trimmed());
    ConnectsDirectly(connection);

    // The proposed folder keeps the name's length.
    const QString name = textFromBytes(read.name);
    check(StationFolderName(name).size() == name.toLatin1().size());
    return 0;
}
