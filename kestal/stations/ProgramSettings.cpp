#include <kestal/stations/ProgramSettings.h>

#include <QDir>
#include <QSettings>

namespace varno::kestal {

QString ProgramSettings::defaultMainDataFolder()
{
    return QDir::homePath() + QStringLiteral("/varno/stations");
}

QString StripTrailingSeparators(QString folder)
{
    while (folder.size() > 1 && folder.endsWith('/'))
        folder.chop(1);
    return folder;
}

void ProgramSettings::load(QSettings& store)
{
    mainDataFolder = StripTrailingSeparators(
        store.value(QStringLiteral("folders/root"), defaultMainDataFolder()).toString());
    modemPort = store.value(QStringLiteral("modem/port"), QStringLiteral("COM1")).toString();
    modemInit = store.value(QStringLiteral("modem/init"), QString()).toString();
    dialMethod = store.value(QStringLiteral("modem/dialmethod"), QStringLiteral("default")).toString();
}

void ProgramSettings::save(QSettings& store)
{
    mainDataFolder = StripTrailingSeparators(mainDataFolder);
    store.setValue(QStringLiteral("folders/root"), mainDataFolder);
    store.setValue(QStringLiteral("modem/port"), modemPort);
    store.setValue(QStringLiteral("modem/init"), modemInit);
    store.setValue(QStringLiteral("modem/dialmethod"), dialMethod);
    store.sync();
}

} // namespace varno::kestal
