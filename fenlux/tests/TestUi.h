#pragma once

#include "FenluxUi.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QPrinter>
#include <QSettings>
#include <QStringList>
#include <QTemporaryDir>

#include <functional>
#include <string>

// Records what the plotter shows and answers its dialogs from the test's script.
class TestUi : public FenluxUi {
public:
    TestUi() { fenlux_setui(this); }
    ~TestUi() override { fenlux_setui(nullptr); }

    void critical(QWidget*, const QString& title, const QString& text) override
    {
        messages << QStringLiteral("critical|") + title + QLatin1Char('|') + text;
    }
    void information(QWidget*, const QString& title, const QString& text) override
    {
        messages << QStringLiteral("information|") + title + QLatin1Char('|') + text;
    }
    void about(QWidget*, const QString& title, const QString& text) override
    {
        messages << QStringLiteral("about|") + title + QLatin1Char('|') + text;
    }
    QString openFileName(QWidget*, const QString& filter) override
    {
        ++openAsked;
        lastFilter = filter;
        return openAnswer;
    }
    QString saveFileName(QWidget*) override
    {
        ++saveAsked;
        return saveAnswer;
    }
    bool setupPrinter(QWidget*, QPrinter* printer) override
    {
        ++printAsked;
        if (pdfPath.isEmpty())
            return false;
        printer->setOutputFormat(QPrinter::PdfFormat);
        printer->setOutputFileName(pdfPath);
        return true;
    }

    QStringList messages;
    QString openAnswer, saveAnswer, lastFilter, pdfPath;
    int openAsked = 0, saveAsked = 0, printAsked = 0;
};

inline QString helperPath()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/fenlux_test_reader");
}

inline void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(bytes);
}

// Points the ".vrn" reader at command with options (all other reader groups removed).
inline void setVrnReader(const QString& command, const QString& options)
{
    QSettings settings(QStringLiteral("varno"), QStringLiteral("fenlux"));
    settings.remove(QStringLiteral("fenlux/reader"));
    settings.setValue(QStringLiteral("fenlux/reader/.vrn/command"), command);
    settings.setValue(QStringLiteral("fenlux/reader/.vrn/options"), options);
}

// A table of n rows at 10-s steps from t0, with two functions.
inline QByteArray csvTable(int rows, long t0 = 1155816000, const char* header = nullptr)
{
    QByteArray out;
    if (header)
        out += QByteArray("# header ") + header + "\n";
    out += "\"time\",\"speed_mean\",\"speed_max\",\"dir_mean\"\n";
    for (int i = 0; i < rows; ++i)
        out += QByteArray::number(qlonglong(t0 + 10L * i)) + "," + QByteArray::number(i % 7) + ","
               + QByteArray::number(i % 7 + 1) + "," + QByteArray::number(i % 360) + "\n";
    return out;
}
