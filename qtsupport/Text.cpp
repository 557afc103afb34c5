#include <qtsupport/Text.h>

#include <QFile>
#include <QStringList>
#include <QTextCodec>

namespace varno::qtsupport {

QString textFromBytes(const std::string& bytes)
{
    QTextCodec* utf8 = QTextCodec::codecForName("UTF-8");
    QTextCodec::ConverterState state(QTextCodec::IgnoreHeader);
    const QString text = utf8->toUnicode(bytes.data(), int(bytes.size()), &state);
    if (state.invalidChars == 0 && state.remainingChars == 0)
        return text;
    return QString::fromLatin1(bytes.data(), int(bytes.size()));
}

std::string bytesFromText(const QString& text) { return text.toUtf8().toStdString(); }

std::string pathBytes(const QString& path) { return QFile::encodeName(path).toStdString(); }

QString pathFromBytes(const std::string& path)
{
    return QFile::decodeName(QByteArray(path.data(), int(path.size())));
}

QString displayText(QString text) { return text.replace("\r\n", "\n"); }

QString qtFileFilter(const QString& filter)
{
    if (!filter.contains('|'))
        return filter;
    QStringList parts = filter.split('|');
    while (!parts.isEmpty() && parts.last().isEmpty())
        parts.removeLast();
    QStringList entries;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QString description = parts[i].trimmed();
        const int open = description.lastIndexOf('(');
        if (open > 0)
            description = description.left(open).trimmed();
        QStringList patterns = parts[i + 1].split(';', Qt::SkipEmptyParts);
        for (QString& p : patterns) {
            p = p.trimmed();
            if (p == "*.*")
                p = "*";
        }
        entries << description + " (" + patterns.join(' ') + ")";
    }
    return entries.join(";;");
}

} // namespace varno::qtsupport
