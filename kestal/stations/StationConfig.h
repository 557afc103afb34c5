#pragma once

#include <QString>

#include <string>

namespace varno::kestal {

// One station of the station list and its "station.cfg". Texts are bytes as the file
// holds them (UTF-8 from our windows, Latin-1 from older files).

struct StationRecord {
    std::string name;       // display name: the "station" key, else the folder name
    std::string folder;     // bare sub-folder name inside the main data folder (file-name bytes)
    std::string password;   // the "password" key, else empty
    std::string connection; // "COMn" for a direct line, else the telephone number
};

// File name of the configuration inside a station folder.
extern const char* const kStationConfigName;

// The complete file: "creator kestal 3.0", "station ", "connection ", "password " lines,
// each ended by "\r\n".
std::string StationConfigText(const std::string& name, const std::string& connection,
                              const std::string& password);

// Takes the "station", "connection" and "password" keys of a file's text into record.
// A key matches at the start of a line (after leading white space), without regard to
// case and without a separator; the value is the rest of the line trimmed at both ends.
// Only non-empty values are taken; a later line wins.
void ParseStationConfig(const std::string& text, StationRecord& record);

// Reads folderPath/station.cfg into record; a missing or unreadable file changes nothing.
void ReadStationConfig(const QString& folderPath, StationRecord& record);

// Creates folderPath (with its parents) and replaces folderPath/station.cfg atomically,
// readable and writable by its owner only. On failure the old file stays and error gets
// the message for the user.
bool WriteStationConfig(const QString& folderPath, const std::string& name,
                        const std::string& connection, const std::string& password,
                        QString* error = nullptr);

// The folder name proposed for a station name: the file-name character rule applied to
// the Latin-1 form of the name, so that the result has the name's length.
QString StationFolderName(const QString& name);

// The two fields of the station dialogs: "Connect using" (a port or "Modem") and the
// telephone number.
struct ConnectionFields {
    QString connectUsing;
    QString phoneNumber;
};
// A direct line ("COM..." at position 0, or a device path) goes into "Connect using";
// anything else is a telephone number. Both parts trimmed.
ConnectionFields SplitConnection(const QString& connection);
QString JoinConnection(const QString& connectUsing, const QString& phoneNumber);

// Why an empty connection text is never used: it would dial the modem without a number.
inline const char* const kNothingToConnectText =
    "Nothing to connect with: the station has no port or telephone number, and no serial port "
    "is free. Enter the station's connection with Edit Station.";

// Whether a connection text names a direct line: "COM" at its start, or a device path.
bool IsDirectLine(const QString& connection);
// Whether connecting takes a connection text as a direct line: "COM" anywhere in it, or a
// device path; anything else is dialled through the modem port.
bool ConnectsDirectly(const QString& connection);

} // namespace varno::kestal
