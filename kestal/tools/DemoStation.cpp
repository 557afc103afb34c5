// kestal-demo-station: fills a station folder with the data logs of an instrument, under
// the names the terminal gives them, and writes its station.cfg. Used by demo.sh with the
// simulated instruments of the bench.
//
//   kestal-demo-station --folder DIR --connection COM3 [--name NAME] [--password PW]
#include <kestal/files/FinalName.h>
#include <kestal/stations/StationConfig.h>

#include <link/FileMoves.h>
#include <quorvalin/Quorvalin.h>
#include <qtsupport/Text.h>

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>

using namespace varno::kestal;

namespace {

int usage()
{
    std::fprintf(stderr, "usage: kestal-demo-station --folder DIR --connection CONNECTION "
                         "[--name NAME] [--password PASSWORD]\n");
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QString folder, connection, name, password = QStringLiteral("varno");
    const QStringList args = QCoreApplication::arguments();
    for (int i = 1; i + 1 < args.size(); i += 2) {
        if (args[i] == "--folder")
            folder = args[i + 1];
        else if (args[i] == "--connection")
            connection = args[i + 1];
        else if (args[i] == "--name")
            name = args[i + 1];
        else if (args[i] == "--password")
            password = args[i + 1];
        else
            return usage();
    }
    if (folder.isEmpty() || connection.isEmpty())
        return usage();
    if (name.isEmpty())
        name = QFileInfo(folder).fileName();

    if (!varno::kestal::WriteStationConfig(folder, varno::qtsupport::bytesFromText(name), connection.toStdString(),
                                    varno::qtsupport::bytesFromText(password))) {
        std::fprintf(stderr, "kestal-demo-station: unable to write %s/station.cfg\n", qPrintable(folder));
        return 1;
    }
    const QString vrn = QDir(folder).filePath(QStringLiteral("vrn"));
    QDir().mkpath(vrn);

    std::unique_ptr<CQuorvalin> link(CQuorvalin::newObject());
    link->SetPassword(varno::qtsupport::bytesFromText(password));
    if (!link->Connect(connection.toStdString(), "", "default", 1)) {
        std::fprintf(stderr, "kestal-demo-station: %s\n", link->GetLastErrorText().c_str());
        return 1;
    }
    const uint32_t serial = link->GetSerialNumber();
    link->SetFileListRange(0, 0x7FFFFFFF);
    struct Listed {
        uint32_t start, length;
    };
    std::vector<Listed> logs;
    if (link->ReadFileList())
        while (link->NextFile())
            logs.push_back({link->GetFileStart(), link->GetFileLength()});

    int stored = 0;
    for (const Listed& log : logs) {
        char key[64];
        std::snprintf(key, sizeof key, "[%04u-%08u-%05u] (tmp) download.vrn", serial, log.start, log.length);
        const std::string temporary = varno::qtsupport::pathBytes(QDir(vrn).filePath(QString::fromLatin1(key)));
        if (!link->StartDownload(temporary, 1, log.start, log.length))
            continue;
        while (link->IsDownloading())
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        if (link->GetDownloadProgress() < 1.0)
            continue;
        varno::kestal::IdentifiedLog identified = varno::kestal::IdentifyDataLog(varno::qtsupport::pathFromBytes(temporary));
        varno::kestal::FillFromListing(identified, serial, log.start, log.length);
        const std::string target =
            varno::qtsupport::pathBytes(QDir(vrn).filePath(varno::qtsupport::pathFromBytes(varno::kestal::FinalFileName(identified))));
        const varno::link::MoveResult result = varno::link::MoveWithBackup(temporary, target);
        if (result != varno::link::MoveResult::Moved && result != varno::link::MoveResult::SameName) {
            std::fprintf(stderr, "kestal-demo-station: %s\n",
                         varno::link::MoveResultMessage(result, temporary, target).c_str());
            continue;
        }
        std::printf("%s\n", target.c_str());
        ++stored;
    }
    link->Disconnect();
    std::printf("%d of %zu data logs stored in %s\n", stored, logs.size(), qPrintable(vrn));
    return stored == int(logs.size()) ? 0 : 1;
}
