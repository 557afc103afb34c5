#pragma once

#include <QObject>
#include <QProcess>
#include <QString>

class FenluxDoc;
class QWidget;

// Runs the program that turns a data log into text and feeds its standard output, line
// by line, into a document. One reader per open.
class FenluxReader : public QObject {
    Q_OBJECT
public:
    FenluxReader(const QString& command, const QString& options, QObject* parent = nullptr);
    ~FenluxReader() override;

    // Runs the reader for path; false when it cannot start or was aborted.
    bool read(const QString& path, FenluxDoc* doc, QWidget* parent = nullptr);

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
