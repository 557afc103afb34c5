#include <fenlux/FenluxDoc.h>

#include <fenlux/FenluxReader.h>
#include <fenlux/LineFeeder.h>

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

namespace varno::fenlux {

FenluxDoc::FenluxDoc(FenluxApp* app) : m_app(app) {}

FenluxDoc::~FenluxDoc() = default;

void FenluxDoc::addView(FenluxView* view)
{
    m_views.append(view);
    emit captionsChanged();
}

void FenluxDoc::removeView(FenluxView* view)
{
    m_views.removeAll(view);
    emit captionsChanged();
}

QString FenluxDoc::captionOf(FenluxView* view) const
{
    if (m_views.size() == 1)
        return m_title;
    return m_title + QStringLiteral(":%1").arg(m_views.indexOf(view) + 1);
}

bool FenluxDoc::newDocument()
{
    m_modified = false;
    return true;
}

void FenluxDoc::setPathName(const QString& path)
{
    m_pathName = path;
    m_title = QFileInfo(path).fileName();
    if (m_title.isEmpty())
        m_title = path;
}

void FenluxDoc::setTitle(const QString& title)
{
    m_title = title;
}

bool FenluxDoc::openDocument(const QString& path)
{
    m_abort = false;
    QFile file;
    bool opened;
    if (path == QLatin1String("-"))
        opened = file.open(stdin, QIODevice::ReadOnly);
    else {
        file.setFileName(path);
        opened = file.open(QIODevice::ReadOnly);
    }
    removeData();
    if (opened) {
        std::vector<char> buffer(1 << 20);
        LineFeeder feeder;
        long lines = 0;
        qint64 consumed = 0;
        const qint64 fileSize = file.isSequential() ? 0 : file.size();
        auto onLine = [&](const char* line) {
            m_data.appendLine(line);
            consumed += qint64(std::strlen(line)) + 1;
            if (++lines % kLinesPerEventTurn == 0) {
                // Room for the whole file from the lines so far: no copying while growing.
                if (lines == kLinesPerEventTurn && fileSize > consumed)
                    m_data.reserveRows(size_t(double(fileSize) / double(consumed) * lines * 1.02) + 16);
                QCoreApplication::processEvents(QEventLoop::AllEvents, 100);
            }
            return !m_abort;
        };
        while (!m_abort) {
            const qint64 n = file.read(buffer.data(), qint64(buffer.size()));
            if (n <= 0)
                break;
            if (!feeder.feed(buffer.data(), size_t(n), onLine))
                break;
        }
        if (!m_abort)
            feeder.finish(onLine);
        if (m_abort)
            removeData();
        file.close();
    }
    return finishOpen(path);
}

bool FenluxDoc::openFile(const QString& path)
{
    const std::unique_ptr<FenluxReader> reader = FenluxReader::forPath(path);
    if (!reader)
        return openDocument(path);
    connect(this, &FenluxDoc::signalAbortOpen, reader.get(), &FenluxReader::abort);
    return openDocument(path, reader.get());
}

bool FenluxDoc::openDocument(const QString& path, FenluxReader* reader)
{
    m_abort = false;
    removeData();
    const bool ok = reader->read(path, this);
    if (!ok || m_abort)
        removeData();
    finishOpen(path);
    return ok && m_data.isUsable();
}

bool FenluxDoc::finishOpen(const QString& path)
{
    m_modified = false;
    setPathName(path);
    m_title = m_data.titleFor(m_title);
    return m_data.isUsable();
}

bool FenluxDoc::appendDocument(const FenluxDoc* other)
{
    return other && other != this && m_data.append(other->m_data);
}

void FenluxDoc::updateAllViews(FenluxView* sender)
{
    emit changed(sender);
}

void FenluxDoc::appendLine(const char* line)
{
    m_data.appendLine(line);
}

void FenluxDoc::removeData()
{
    m_data.clear();
}

void FenluxDoc::slotAbortOpen()
{
    m_abort = true;
    emit signalAbortOpen();
}

} // namespace varno::fenlux
