#pragma once

#include <testing/InstalledInteraction.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QPrinter>
#include <QSettings>
#include <QStringList>
#include <QTemporaryDir>

#include <algorithm>

using UiKind = varno::qtsupport::ScriptedUserInteraction::Kind;

// The message boxes the plotter showed, one "kind|caption|text" line each.
inline QStringList shown(const varno::qtsupport::ScriptedUserInteraction& ui)
{
    QStringList out;
    for (const auto& e : ui.events()) {
        QString kind;
        if (e.kind == UiKind::About)
            kind = QStringLiteral("about");
        else if (e.kind == UiKind::Message)
            kind = e.icon == varno::qtsupport::UserInteraction::Icon::Critical ? QStringLiteral("critical")
                                                                    : QStringLiteral("information");
        else
            continue;
        out << kind + QLatin1Char('|') + e.caption + QLatin1Char('|') + e.text;
    }
    return out;
}

// How often the plotter asked for kind (a chooser, the printer set-up).
inline long asked(const varno::qtsupport::ScriptedUserInteraction& ui, UiKind kind)
{
    return std::count_if(ui.events().begin(), ui.events().end(),
                         [kind](const auto& e) { return e.kind == kind; });
}

// The user's next printer set-up is accepted with printer writing a PDF file to path.
inline void acceptPrinterAsPdf(varno::qtsupport::ScriptedUserInteraction& ui, QPrinter& printer,
                               const QString& path)
{
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(path);
    ui.queueAnswer(varno::qtsupport::UserInteraction::Answer::Ok);
}

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
