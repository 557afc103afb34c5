#include <kestal/stations/StationConfig.h>

#include <link/DataLogNames.h>
#include <qtsupport/Text.h>

#include <QDir>
#include <QFile>
#include <QSaveFile>

#include <cctype>

namespace varno::kestal {

const char* const kStationConfigName = "station.cfg";

namespace {

bool isBlank(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }

std::string trimmed(const std::string& text)
{
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && isBlank(text[begin]))
        ++begin;
    while (end > begin && isBlank(text[end - 1]))
        --end;
    return text.substr(begin, end - begin);
}

// The value of key at the start of line (after leading blanks), or "" when the line
// does not begin with it.
std::string valueOf(const std::string& line, const char* key)
{
    size_t pos = 0;
    while (pos < line.size() && isBlank(line[pos]))
        ++pos;
    for (const char* k = key; *k; ++k, ++pos) {
        if (pos >= line.size())
            return {};
        if (std::tolower(static_cast<unsigned char>(line[pos])) != *k)
            return {};
    }
    return trimmed(line.substr(pos));
}

} // namespace

std::string StationConfigText(const std::string& name, const std::string& connection,
                              const std::string& password)
{
    return "creator kestal 3.0\r\nstation " + name + "\r\nconnection " + connection +
        "\r\npassword " + password + "\r\n";
}

void ParseStationConfig(const std::string& text, StationRecord& record)
{
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos)
            end = text.size();
        const std::string line = text.substr(pos, end - pos);
        pos = end + 1;
        if (std::string v = valueOf(line, "station"); !v.empty())
            record.name = v;
        if (std::string v = valueOf(line, "connection"); !v.empty())
            record.connection = v;
        if (std::string v = valueOf(line, "password"); !v.empty())
            record.password = v;
    }
}

void ReadStationConfig(const QString& folderPath, StationRecord& record)
{
    QFile file(QDir(folderPath).filePath(kStationConfigName));
    if (!file.open(QIODevice::ReadOnly))
        return;
    const QByteArray bytes = file.readAll();
    ParseStationConfig(bytes.toStdString(), record);
}

bool WriteStationConfig(const QString& folderPath, const std::string& name,
                        const std::string& connection, const std::string& password,
                        QString* error)
{
    const QString path = QDir(folderPath).filePath(kStationConfigName);
    QDir().mkpath(folderPath);
    QSaveFile file(path);
    const std::string text = StationConfigText(name, connection, password);
    bool ok = file.open(QIODevice::WriteOnly);
    // The password is kept in plain text: nobody but the owner may read it.
    ok = ok && file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    ok = ok && file.write(text.data(), qint64(text.size())) == qint64(text.size());
    ok = ok && file.commit();
    if (!ok) {
        file.cancelWriting();
        if (error)
            *error = QStringLiteral("Unable to write station configuration: ") + path;
    }
    return ok;
}

QString StationFolderName(const QString& name)
{
    const QByteArray latin1 = name.toLatin1();
    return QString::fromLatin1(
        QByteArray::fromStdString(link::ApplyCharacterRule(latin1.toStdString())));
}

ConnectionFields SplitConnection(const QString& connection)
{
    if (IsDirectLine(connection))
        return {connection.trimmed(), QString()};
    return {QStringLiteral("Modem"), connection.trimmed()};
}

QString JoinConnection(const QString& connectUsing, const QString& phoneNumber)
{
    return IsDirectLine(connectUsing) ? connectUsing : phoneNumber;
}

bool IsDirectLine(const QString& connection)
{
    return connection.startsWith(QLatin1String("COM")) ||
        connection.startsWith(QLatin1String("/dev/"));
}

bool ConnectsDirectly(const QString& connection)
{
    return connection.contains(QLatin1String("COM")) || connection.startsWith(QLatin1String("/dev/"));
}

} // namespace varno::kestal
