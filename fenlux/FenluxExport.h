#pragma once

#include <fenlux/FenluxWind.h>

#include <QString>
#include <QStringList>

#include <vector>

class QIODevice;

namespace varno::fenlux {

// What leaves the plotter: pictures of its views and ordinary CSV files of what they show,
// from the File menu or from the command line without a window.

class FenluxData;

enum class ExportFormat { Unknown, Png, Svg, Pdf, Csv };
// By the file-name ending, ignoring case.
ExportFormat exportFormatOf(const QString& path);

// Writes rows of the time and of columns as a CSV file that the plotter reads back the
// same: a line of quoted headings, then per row the time as "YYYY-MM-DD HH:MM:SS[.mmm]"
// (a plain number when it is no calendar time to the millisecond) and the values, a
// missing one as an empty cell. False when the device refused to write.
bool writeCsv(QIODevice& out, const FenluxData& data, RowRange rows, const std::vector<int>& columns);

// The command line of an export run:
//   --export=<file> [--view=plot|rose|distribution] [--speed=<column>]
//   [--direction=<column>] [--sectors=8|12|16|36] [--bin=1|0.5] <files...>
struct ExportRequest {
    enum class View { Plot, Rose, Distribution };
    QString path;
    ExportFormat format = ExportFormat::Unknown;
    View view = View::Plot;
    QString speed;     // empty: the default speed column
    QString direction; // empty: the default direction column
    int sectors = 12;
    double binWidth = 1;
    QStringList files;
};
// Whether the arguments (program name first) ask for an export run.
bool isExportCommand(const QStringList& arguments);
// Reads the arguments after the program name; false with a message for the error stream.
bool parseExportArguments(const QStringList& arguments, ExportRequest* request, QString* error);

} // namespace varno::fenlux
