#include <kestal/files/Import.h>

#include <kestal/files/FinalName.h>

#include <link/FileMoves.h>
#include <qtsupport/Text.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace varno::kestal {

ImportResult ImportDataLog(const QString& source, const QString& dataFolder, QString* message)
{
    const auto fail = [&] {
        if (message)
            *message = QStringLiteral("Unable to import file: ") + source;
        return ImportResult::Failed;
    };
    // Without a station there is no folder: never the working folder instead.
    if (dataFolder.isEmpty())
        return fail();
    const QString target =
        QDir(dataFolder).filePath(qtsupport::pathFromBytes(FinalFileName(IdentifyDataLog(source))));
    const QString sourceCanonical = QFileInfo(source).canonicalFilePath();
    if (!sourceCanonical.isEmpty() && sourceCanonical == QFileInfo(target).canonicalFilePath())
        return ImportResult::SameFile;
    if (QFileInfo::exists(target) && !link::BackupFile(qtsupport::pathBytes(target)))
        return fail();
    if (!QFile::copy(source, target))
        return fail();
    return ImportResult::Imported;
}

} // namespace varno::kestal
