#include <kestal/files/LocalFiles.h>

#include <link/DataLogNames.h>
#include <link/FileMoves.h>
#include <quorvalin/Quorvalin.h>
#include <qtsupport/Text.h>

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <cstdio>

namespace varno::kestal {

LocalFile LocalFileFromName(const std::string& fileName)
{
    const link::NameRecord r = link::ReadName(fileName);
    LocalFile f;
    f.fileName = r.fileName;
    f.text = r.text;
    f.startText = r.startText;
    f.stopText = r.stopText;
    f.extension = r.extension;
    f.serial = r.serial;
    f.start = r.start;
    f.length = r.length;
    f.magic = r.magic;
    f.names = QStringList{qtsupport::pathFromBytes(r.fileName)};
    return f;
}

std::vector<LocalFile> ScanLocalFiles(const QString& folder)
{
    std::vector<LocalFile> files;
    if (folder.isEmpty())
        return files;
    const std::string dir = qtsupport::pathBytes(folder);
    for (const char* pattern : {"*.vrn", "*.csv"}) {
        for (const std::string& name : link::ListFolder(dir, pattern)) {
            const QFileInfo info(QDir(folder).filePath(qtsupport::pathFromBytes(name)));
            if (!info.isFile())
                continue;
            LocalFile f = LocalFileFromName(name);
            f.size = uint64_t(info.size());
            files.push_back(std::move(f));
        }
    }
    return files;
}

bool LocalFileLess(const LocalFile& a, const LocalFile& b)
{
    if (a.serial != b.serial)
        return a.serial < b.serial;
    if (a.start != b.start)
        return int32_t(a.start) < int32_t(b.start);
    if (!MagicEqual(a.magic, b.magic) && a.magic != b.magic)
        return int32_t(a.magic) < int32_t(b.magic);
    if (a.length != b.length)
        return int32_t(a.length) < int32_t(b.length);
    return QString::compare(qtsupport::pathFromBytes(a.fileName), qtsupport::pathFromBytes(b.fileName),
                            Qt::CaseInsensitive) < 0;
}

void SortLocalFiles(std::vector<LocalFile>& files)
{
    // The order need not be transitive for mixed magics: a merge sort stays in range.
    std::stable_sort(files.begin(), files.end(), LocalFileLess);
}

void ReduceLocalFiles(std::vector<LocalFile>& files)
{
    size_t i = 0;
    while (i < files.size() && files[i].serial == 0 && files[i].start == 0 && files[i].length == 0)
        ++i;
    while (i + 1 < files.size()) {
        const LocalFile& a = files[i];
        const LocalFile& b = files[i + 1];
        const bool sameLog = a.start == b.start &&
            (a.serial == b.serial || (b.serial == 0 && MagicEqual(a.magic, b.magic)));
        if (!sameLog) {
            ++i;
            continue;
        }
        if (int32_t(a.length) < int32_t(b.length))
            files.erase(files.begin() + long(i));
        else
            files.erase(files.begin() + long(i + 1));
    }
}

std::vector<LocalFile> LocalScan(const QString& folder)
{
    std::vector<LocalFile> files = ScanLocalFiles(folder);
    SortLocalFiles(files);
    ReduceLocalFiles(files);
    return files;
}

int RenamePass(const QString& folder, const std::vector<LocalFile>& files,
               const Identifier& identify, QStringList* failures)
{
    int moved = 0;
    for (const LocalFile& f : files) {
        if (f.serial == 0 || f.start == 0 || f.length == 0)
            continue;
        if (f.text.empty() || f.text.back() != '~')
            continue;
        const QString path = QDir(folder).filePath(qtsupport::pathFromBytes(f.fileName));
        Identity id;
        if (!identify(path, id) || id.start != f.start || id.length != f.length)
            continue;
        if (id.finalName.empty() || id.finalName == f.fileName)
            continue;
        const std::string source = qtsupport::pathBytes(path);
        const std::string target =
            qtsupport::pathBytes(QDir(folder).filePath(qtsupport::pathFromBytes(id.finalName)));
        const link::MoveResult result = link::MoveWithBackup(source, target);
        if (result == link::MoveResult::Moved)
            ++moved;
        else if (result != link::MoveResult::SameName && failures)
            failures->append(qtsupport::textFromBytes(link::MoveResultMessage(result, source, target)));
    }
    return moved;
}

bool ParseTimeText(const std::string& text, unsigned& year, unsigned& month, unsigned& day,
                   unsigned& hour, unsigned& minute, unsigned& second)
{
    year = month = day = hour = minute = second = 0;
    int n = std::sscanf(text.c_str(), "%04u-%02u-%02u %02u:%02u:%02u", &year, &month, &day,
                        &hour, &minute, &second);
    // Names hold the time with "_" for ":" (the file-name character rule).
    if (n > 3 && n < 6) {
        hour = minute = second = 0;
        n = std::sscanf(text.c_str(), "%04u-%02u-%02u %02u_%02u_%02u", &year, &month, &day,
                        &hour, &minute, &second);
    }
    return n >= 3 && month >= 1 && month <= 12;
}

void MergeMonths(std::vector<LocalFile>& files)
{
    size_t i = 0;
    while (i < files.size() && files[i].serial == 0 && files[i].start == 0 && files[i].length == 0)
        ++i;
    while (i + 1 < files.size()) {
        LocalFile& r = files[i];
        const LocalFile& n = files[i + 1];
        unsigned ry, rm, rd, rh, rmi, rs, ny, nm, nd, nh, nmi, ns, sy, sm, sd, sh, smi, ss;
        const bool merge = r.serial == n.serial && uint32_t(r.start + r.length) == n.start &&
            ParseTimeText(n.startText, ny, nm, nd, nh, nmi, ns) && nh == 0 && nmi == 0 && ns == 0 &&
            ParseTimeText(r.startText, ry, rm, rd, rh, rmi, rs) &&
            ParseTimeText(n.stopText, sy, sm, sd, sh, smi, ss) && ry * 12 + rm == sy * 12 + sm;
        if (!merge) {
            ++i;
            continue;
        }
        r.names.append(n.names);
        r.stopText = n.stopText;
        r.size += n.size;
        r.length += n.length;
        files.erase(files.begin() + long(i + 1));
    }
}

QString LocalFilePaths(const QString& dataFolder, const QString& pcFile, bool combine)
{
    if (pcFile.isEmpty() || dataFolder.isEmpty())
        return QString();
    const QStringList names = pcFile.split('\n');
    const QDir dir(dataFolder);
    QStringList out;
    if (names.size() == 1 || !combine) {
        for (const QString& name : names)
            out.append(dir.filePath(name));
        return out.join('\n');
    }
    const link::NameRecord first = link::ReadName(qtsupport::pathBytes(names.first()));
    out.append(QStringLiteral("search=") + dir.filePath(QStringLiteral("*") +
               qtsupport::pathFromBytes(first.text) + "." + qtsupport::pathFromBytes(first.extension)));
    for (const QString& name : names) {
        const link::NameRecord r = link::ReadName(qtsupport::pathBytes(name));
        if (r.text == first.text && r.extension == first.extension) {
            const int open = name.indexOf('[');
            const int close = name.indexOf(']', open + 1);
            out.append(open >= 0 && close > open ? name.mid(open, close - open + 1) : dir.filePath(name));
        } else {
            out.append(dir.filePath(name));
        }
    }
    return out.join('\n');
}

} // namespace varno::kestal
