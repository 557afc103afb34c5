#pragma once

#include <fenlux/FenluxExport.h>

#include <QSize>
#include <QString>

#include <vector>

class QPrinter;
class QwtPlot;

namespace varno::fenlux {

class FenluxView;
class FenluxWindView;


// What an export of one view writes: its plot as a picture, or its rows of its columns.
struct ExportSource {
    QwtPlot* plot = nullptr;
    const FenluxData* data = nullptr;
    RowRange rows;
    std::vector<int> columns;
};
ExportSource exportSourceOf(const FenluxView& view);
ExportSource exportSourceOf(const FenluxWindView& view);

// Writes source to path in the format of its ending; a picture gets size pixels (at 96
// dots per inch for SVG and PDF). The file appears whole or not at all: it is written
// under a temporary name and renamed into place. False with the reason in *error.
bool exportTo(const ExportSource& source, const QString& path, const QSize& size, QString* error);

// The printer set-up, then plot on the chosen printer; false when cancelled.
bool printPlot(QwtPlot* plot, QPrinter* printer);

} // namespace varno::fenlux
