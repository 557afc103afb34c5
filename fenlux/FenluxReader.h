#pragma once

#include <QObject>
#include <QProcess>
#include <QString>

#include <memory>

namespace varno::fenlux {

class FenluxDoc;

// Runs the program that turns a data log into text and feeds its standard output, line
// by line, into a document. One reader per open.
class FenluxReader : public QObject {
    Q_OBJECT
public:
    FenluxReader(const QString& command, const QString& options, QObject* parent = nullptr);
    ~FenluxReader() override;

    // Reader programs are chosen by file-name ending: one settings group per ending under
    // "fenlux/reader" with the program's command and options. The reader for path (the
    // first group, in the store's order, whose ending path has, ignoring case); none when
    // no ending matches.
    static std::unique_ptr<FenluxReader> forPath(const QString& path);
    // Writes the ".vrn" reader back with its defaults filled in, so the store always holds it.
    static void writeDefaults();

    // Runs the reader for path; false when it cannot start or was aborted.
    bool read(const QString& path, FenluxDoc* doc);

    const QString& command() const { return m_command; }
    // Whether the child is still running (not after a read returned).
    bool isRunning() const { return m_process.state() != QProcess::NotRunning; }
    const QString& options() const { return m_options; }

    // A bare program name is looked up beside the plotter first, then on the search path.
    static QString resolveCommand(const QString& command);

public slots:
    void abort();

private:
    void stopChild();

    QString m_command;
    QString m_options;
    QProcess m_process;
    bool m_abort = false;
};

} // namespace varno::fenlux
