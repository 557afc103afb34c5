// Station configuration files, program settings and the station-list document.
#include <kestal/stations/KestalDoc.h>
#include <kestal/stations/ProgramSettings.h>
#include <kestal/stations/StationConfig.h>

#include "TestConfig.h"
#include <qtsupport/UserInteraction.h>

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace varno::kestal;

namespace {

void writeText(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

QByteArray readText(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

TEST(KestalStationConfig, ToleratesBlanksCaseAndMissingValues)
{
    StationRecord r{"folder", "folder", "", ""};
    ParseStationConfig("creator kestal 3.0\r\n  STATION  Hill Top  \r\nConnection COM3\n"
                       "station\r\n# a comment\npassword first\npasswordsecond\npassword   \r\n",
                       r);
    EXPECT_EQ(r.name, "Hill Top");
    EXPECT_EQ(r.connection, "COM3");
    // The key needs no separator, and the last non-empty value wins.
    EXPECT_EQ(r.password, "second");

    StationRecord onlyKey{"folder", "folder", "", ""};
    ParseStationConfig("station\r\n", onlyKey);
    EXPECT_EQ(onlyKey.name, "folder");
}

TEST(KestalStationConfig, WritesExactBytesOwnerOnly)
{
    QTemporaryDir dir;
    const QString folder = dir.filePath("a/b/Station");
    ASSERT_TRUE(WriteStationConfig(folder, "Hill Top", "COM2", ""));
    const QString path = folder + "/station.cfg";
    EXPECT_EQ(readText(path),
              QByteArray("creator kestal 3.0\r\nstation Hill Top\r\nconnection COM2\r\npassword \r\n"));
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);

    // Reading it back gives what was written.
    StationRecord r{"Station", "Station", "", ""};
    ReadStationConfig(folder, r);
    EXPECT_EQ(r.name, "Hill Top");
    EXPECT_EQ(r.connection, "COM2");
    EXPECT_EQ(r.password, "");
}

TEST(KestalStationConfig, FailedWriteKeepsOldFileAndSaysSo)
{
    QTemporaryDir dir;
    const QString folder = dir.filePath("s");
    ASSERT_TRUE(WriteStationConfig(folder, "old", "COM1", "pw"));
    const QByteArray before = readText(folder + "/station.cfg");
    // A read-only folder stops the replacement (for root, nothing is read-only: skip that half).
    ASSERT_TRUE(QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::ExeOwner));
    QString error;
    const bool ok = WriteStationConfig(folder, "new", "COM2", "pw2", &error);
    QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    if (::geteuid() != 0) {
        EXPECT_FALSE(ok);
        EXPECT_EQ(error, "Unable to write station configuration: " + folder + "/station.cfg");
        EXPECT_EQ(readText(folder + "/station.cfg"), before);
    }
    // A station.cfg that is a folder cannot be replaced by anybody.
    const QString blocked = dir.filePath("b");
    QDir().mkpath(blocked + "/station.cfg/keep");
    error.clear();
    EXPECT_FALSE(WriteStationConfig(blocked, "new", "COM2", "pw2", &error));
    EXPECT_EQ(error, "Unable to write station configuration: " + blocked + "/station.cfg");
    EXPECT_TRUE(QFileInfo(blocked + "/station.cfg/keep").isDir());
}

TEST(KestalStationConfig, FolderNameRuleKeepsLength)
{
    EXPECT_EQ(StationFolderName("Fjell: Nord/2"), "Fjell_ Nord_2");
    EXPECT_EQ(StationFolderName(QString::fromUtf8("Bär")), "Bar");
    EXPECT_EQ(StationFolderName(QString::fromUtf8("Bär")).size(), 3);
}

TEST(KestalStationConfig, SplitsAndJoinsConnections)
{
    ConnectionFields port = SplitConnection("COM3");
    EXPECT_EQ(port.connectUsing, "COM3");
    EXPECT_EQ(port.phoneNumber, "");
    ConnectionFields modem = SplitConnection(" 0123 456");
    EXPECT_EQ(modem.connectUsing, "Modem");
    EXPECT_EQ(modem.phoneNumber, "0123 456");
    EXPECT_EQ(JoinConnection("COM2", "0123"), "COM2");
    EXPECT_EQ(JoinConnection("Modem", "0123"), "0123");
    // Ports beyond the eight of the list and device paths are ports too.
    for (const char* port : {"COM9", "COM12", "/dev/ttyUSB0"}) {
        const ConnectionFields fields = SplitConnection(port);
        EXPECT_EQ(fields.connectUsing, port);
        EXPECT_EQ(fields.phoneNumber, "");
        EXPECT_EQ(JoinConnection(fields.connectUsing, fields.phoneNumber), port);
    }
    EXPECT_TRUE(IsDirectLine("COM1"));
    EXPECT_FALSE(IsDirectLine("0123"));
    EXPECT_FALSE(IsDirectLine("+44 161 555 0199"));
}

TEST(KestalStationConfig, ConnectingTellsDirectLinesFromTelephoneNumbers)
{
    for (const char* direct : {"COM1", "COM8", "COM9", "COM12", "/dev/ttyUSB0", "/dev/ttyS0"})
        EXPECT_TRUE(ConnectsDirectly(direct)) << direct;
    for (const char* number : {"0161 555 0199", "+44 161 555 0199", "+49301234567", "0047 7712 3456"})
        EXPECT_FALSE(ConnectsDirectly(number)) << number;
}

TEST(KestalProgramSettingsTest, DefaultsAndTrailingSeparators)
{
    varno::kestal::testing::coreTestApp();
    QTemporaryDir dir;
    QSettings store(dir.filePath("s.ini"), QSettings::IniFormat);
    ProgramSettings s;
    s.load(store);
    EXPECT_EQ(s.mainDataFolder, QDir::homePath() + "/varno/stations");
    EXPECT_EQ(s.modemPort, "COM1");
    EXPECT_EQ(s.modemInit, "");
    EXPECT_EQ(s.dialMethod, "default");

    s.mainDataFolder = "/data//";
    s.modemInit = "X3";
    s.save(store);
    EXPECT_EQ(s.mainDataFolder, "/data");
    EXPECT_EQ(store.value("folders/root").toString(), "/data");
    EXPECT_EQ(store.value("modem/init").toString(), "X3");
    EXPECT_EQ(StripTrailingSeparators("/"), "/");
    EXPECT_EQ(StripTrailingSeparators("///"), "/");
}

class KestalDocTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        varno::kestal::testing::coreTestApp();
        settings.mainDataFolder = root.path();
        varno::qtsupport::setUserInteraction(&ui);
    }
    void TearDown() override { varno::qtsupport::setUserInteraction(nullptr); }

    QTemporaryDir root;
    ProgramSettings settings;
    varno::qtsupport::ScriptedUserInteraction ui;
};

TEST_F(KestalDocTest, RebuildSortsByNameAndSelectsFirst)
{
    for (const char* f : {"b", "A", "c"})
        QDir(root.path()).mkdir(f);
    writeText(root.filePath("c/station.cfg"), "station aa\r\nconnection 0123\r\n");
    CKestalDoc doc(settings);
    int changes = 0;
    QObject::connect(&doc, &CKestalDoc::changed, [&] { ++changes; });
    EXPECT_EQ(doc.RebuildStationList(), 3);
    EXPECT_EQ(doc.StationName(0), "A");
    EXPECT_EQ(doc.StationName(1), "aa");
    EXPECT_EQ(doc.StationName(2), "b");
    EXPECT_EQ(doc.StationConnection(1), "0123");
    EXPECT_EQ(doc.GetSelectedStation(), 0);
    EXPECT_EQ(doc.GetTitle(), "A");
    EXPECT_GE(changes, 1);
    EXPECT_EQ(doc.StationName(3), "");

    // Out-of-range selections are ignored.
    doc.SelectStation(5);
    EXPECT_EQ(doc.GetSelectedStation(), 0);
    doc.SelectStation(2);
    EXPECT_EQ(doc.GetStationName(), "b");
}

TEST_F(KestalDocTest, RebuildNeverKeepsAStaleSelection)
{
    for (const char* f : {"a", "b", "c"})
        QDir(root.path()).mkdir(f);
    QTemporaryDir one, none;
    QDir(one.path()).mkdir("x");
    CKestalDoc doc(settings);
    QStringList titles;
    QObject::connect(&doc, &CKestalDoc::titleChanged, [&](const QString& t) { titles << t; });
    doc.SetStationEditor([](StationEdit&) { return false; });
    doc.OnNewDocument();
    doc.SelectStation(2);
    ASSERT_EQ(doc.GetTitle(), "c");

    // Fewer stations than the index: the first one is selected and named.
    settings.mainDataFolder = one.path();
    doc.OnNewDocument();
    EXPECT_EQ(doc.GetSelectedStation(), 0);
    EXPECT_EQ(doc.GetTitle(), "x");
    EXPECT_EQ(doc.GetDataFolderPath(), one.filePath("x/vrn"));

    // No station at all: no selection, no title and no folders.
    settings.mainDataFolder = none.path();
    doc.OnNewDocument();
    EXPECT_EQ(doc.GetSelectedStation(), -1);
    EXPECT_EQ(doc.GetTitle(), "");
    EXPECT_EQ(titles.last(), "");
    EXPECT_EQ(doc.GetDataFolderPath(), "");
    EXPECT_EQ(doc.GetExportFolderPath(), "");

    // Within the list the index stays a bare number, and the title names its station.
    settings.mainDataFolder = root.path();
    doc.OnNewDocument();
    doc.SelectStation(1);
    QDir(root.path()).mkdir("0");
    doc.RebuildStationList();
    EXPECT_EQ(doc.GetSelectedStation(), 1);
    EXPECT_EQ(doc.GetTitle(), "a");
}

TEST_F(KestalDocTest, FoldersAreMadeOnDemandOnlyForASelectedStation)
{
    CKestalDoc doc(settings);
    EXPECT_EQ(doc.RebuildStationList(), 0);
    EXPECT_EQ(doc.GetDataFolderPath(), "");
    EXPECT_EQ(doc.GetExportFolderPath(), "");
    EXPECT_EQ(doc.GetDocumentsFolderPath(), "");
    EXPECT_TRUE(QDir(root.path()).entryList(QDir::Dirs | QDir::NoDotAndDotDot).isEmpty());

    QDir(root.path()).mkdir("st");
    doc.RebuildStationList();
    EXPECT_EQ(doc.GetDataFolderPath(), root.filePath("st/vrn"));
    EXPECT_TRUE(QFileInfo(root.filePath("st/vrn")).isDir());
    EXPECT_EQ(doc.GetExportFolderPath(), root.filePath("st/export"));
    EXPECT_EQ(doc.GetDocumentsFolderPath(), root.filePath("st/documents"));
    EXPECT_TRUE(QFileInfo(root.filePath("st/documents")).isDir());
}

TEST_F(KestalDocTest, EmptyFolderLeadsToAddStationAndEditKeepsFolder)
{
    CKestalDoc doc(settings);
    std::vector<StationEdit> seen;
    doc.SetStationEditor([&](StationEdit& v) {
        seen.push_back(v);
        if (v.dataPath.isEmpty()) {
            v.name = "Fjell";
            v.connection = "0123";
            v.password = "pw";
            v.dataPath = root.filePath("Fjell");
        } else {
            v.name = "Fjell renamed";
        }
        return true;
    });
    doc.OnNewDocument();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].name, "new station");
    EXPECT_EQ(seen[0].connection, "COM1");
    EXPECT_EQ(seen[0].password, "");
    ASSERT_EQ(doc.GetStationCount(), 1);
    EXPECT_EQ(doc.GetStationName(), "Fjell");
    EXPECT_EQ(doc.GetStationPassword(), "pw");

    doc.OnEditStation();
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[1].dataPath, root.filePath("Fjell"));
    EXPECT_EQ(seen[1].connection, "0123");
    EXPECT_EQ(doc.GetStationName(), "Fjell renamed");
    EXPECT_EQ(doc.GetStationCount(), 1);
}

TEST_F(KestalDocTest, CancelledAddChangesNothing)
{
    CKestalDoc doc(settings);
    doc.SetStationEditor([](StationEdit&) { return false; });
    doc.OnNewDocument();
    EXPECT_EQ(doc.GetStationCount(), 0);
    EXPECT_EQ(doc.GetSelectedStation(), -1);
}

TEST_F(KestalDocTest, LatinTextsKeepTheirBytesWhenNotEdited)
{
    writeText(root.filePath("s/station.cfg"), "station M\xfchle\r\npassword p\xe4ss\r\n");
    CKestalDoc doc(settings);
    doc.SetStationEditor([](StationEdit& v) { v.connection = "COM4"; return true; });
    doc.RebuildStationList();
    doc.OnEditStation();
    EXPECT_EQ(readText(root.filePath("s/station.cfg")),
              QByteArray("creator kestal 3.0\r\nstation M\xfchle\r\nconnection COM4\r\npassword p\xe4ss\r\n"));
    // Edited, they are written as typed.
    doc.SetStationEditor([](StationEdit& v) { v.password = QString::fromUtf8("p\xc3\xa4ss!"); return true; });
    doc.OnEditStation();
    EXPECT_EQ(readText(root.filePath("s/station.cfg")),
              QByteArray("creator kestal 3.0\r\nstation M\xfchle\r\nconnection COM4\r\npassword p\xc3\xa4ss!\r\n"));
}

TEST_F(KestalDocTest, DeleteAndSaveOnlyReport)
{
    QDir(root.path()).mkdir("x");
    CKestalDoc doc(settings);
    doc.RebuildStationList();
    doc.OnDeleteStation();
    EXPECT_FALSE(doc.SaveDocument(root.filePath("list.vsl")));
    EXPECT_EQ(ui.texts(), QStringList({"Stations can not be removed from the list without removing the data folder!",
                                       "Not implemented: CKestalDoc::Serialize"}));
    EXPECT_FALSE(QFile::exists(root.filePath("list.vsl")));
    EXPECT_EQ(doc.GetStationCount(), 1);
    EXPECT_TRUE(doc.OpenDocument(root.filePath("list.vsl")));
    EXPECT_EQ(doc.GetStationCount(), 1);
}
