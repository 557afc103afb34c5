// Reads arbitrary bytes as the terminal reads "station.cfg", writes the station again and
// reads what it wrote, as the terminal and as the transfer program.

#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "Dictionary.h"
#include "FuzzSupport.h"
#include "StationConfig.h"
#include "Text.h"

namespace {

using fuzzsupport::check;

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

bool sameRecord(const kestal::StationRecord& a, const kestal::StationRecord& b)
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
    kestal::StationRecord read;
    kestal::ParseStationConfig(std::string(reinterpret_cast<const char*>(data), size), read);
    checkValue(read.name);
    checkValue(read.connection);
    checkValue(read.password);

    const std::string written = kestal::StationConfigText(read.name, read.connection, read.password);
    kestal::StationRecord back;
    kestal::ParseStationConfig(written, back);
    check(sameRecord(back, read));

    const Dictionary transfer = readAsTransfer(written);
    check(transfer.Lookup("connection").value_or(std::string()) == read.connection);
    check(transfer.Lookup("password").value_or(std::string()) == read.password);

    // The station dialogs show the connection in two fields and store it unchanged.
    const QString connection = varno::textFromBytes(read.connection);
    const kestal::ConnectionFields fields = kestal::SplitConnection(connection);
    check(kestal::JoinConnection(fields.connectUsing, fields.phoneNumber) == connection.trimmed());
    kestal::ConnectsDirectly(connection);

    // The proposed folder keeps the name's length.
    const QString name = varno::textFromBytes(read.name);
    check(kestal::StationFolderName(name).size() == name.toLatin1().size());
    return 0;
}
