#include <fenlux/FenluxExport.h>

#include <fenlux/FenluxData.h>
#include <fenlux/FenluxParse.h>

#include <QIODevice>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string>

namespace varno::fenlux {

namespace {

void appendNumber(std::string& out, double v)
{
    char buf[32];
    const std::to_chars_result r = std::to_chars(buf, buf + sizeof buf, v);
    out.append(buf, r.ptr);
}

// A calendar time to the millisecond (within what a double holds of one) between 1970 and
// the year 10000 is written as one; anything else as a number, as the reader writes it.
void appendTime(std::string& out, double t)
{
    if (std::isnan(t))
        return;
    const double ms = t * 1000.0;
    const double kYear10000 = 253402300800.0;
    if (t > 0 && t < kYear10000 && std::fabs(ms - std::nearbyint(ms)) < 0.01)
        out += timeText(t, true, ' ');
    else
        out += timeText(t, false);
}

// A heading in quotes; a quote inside it would end them.
void appendHeading(std::string& out, const QString& heading)
{
    QString text = heading;
    text.replace(QLatin1Char('"'), QLatin1Char('\''));
    out += ",\"";
    out += text.toUtf8().constData();
    out += '"';
}

bool flush(QIODevice& out, std::string& buffer)
{
    const bool ok = out.write(buffer.data(), qint64(buffer.size())) == qint64(buffer.size());
    buffer.clear();
    return ok;
}

} // namespace

ExportFormat exportFormatOf(const QString& path)
{
    const QString lower = path.toLower();
    if (lower.endsWith(QLatin1String(".png")))
        return ExportFormat::Png;
    if (lower.endsWith(QLatin1String(".svg")))
        return ExportFormat::Svg;
    if (lower.endsWith(QLatin1String(".pdf")))
        return ExportFormat::Pdf;
    if (lower.endsWith(QLatin1String(".csv")))
        return ExportFormat::Csv;
    return ExportFormat::Unknown;
}

bool writeCsv(QIODevice& out, const FenluxData& data, RowRange rows, const std::vector<int>& columns)
{
    rows.end = std::min(rows.end, data.rowCount());
    std::string buffer = "\"time\"";
    for (int c : columns)
        appendHeading(buffer, columnHeading(data, c));
    buffer += '\n';
    const double* time = data.values(1);
    std::vector<const double*> values;
    for (int c : columns)
        values.push_back(data.values(c));
    const size_t kChunk = 1 << 20;
    for (size_t r = rows.begin; r < rows.end; ++r) {
        if (time)
            appendTime(buffer, time[r]);
        for (const double* v : values) {
            buffer += ',';
            if (v && !std::isnan(v[r]))
                appendNumber(buffer, v[r]);
        }
        buffer += '\n';
        if (buffer.size() >= kChunk && !flush(out, buffer))
            return false;
    }
    return flush(out, buffer);
}

bool isExportCommand(const QStringList& arguments)
{
    return std::any_of(arguments.begin() + std::min<int>(1, arguments.size()), arguments.end(),
                       [](const QString& a) { return a.startsWith(QLatin1String("--export=")); });
}

bool parseExportArguments(const QStringList& arguments, ExportRequest* request, QString* error)
{
    ExportRequest r;
    auto value = [](const QString& argument) { return argument.mid(argument.indexOf(QLatin1Char('=')) + 1); };
    for (const QString& a : arguments) {
        if (!a.startsWith(QLatin1String("--"))) {
            r.files << a;
        } else if (a.startsWith(QLatin1String("--export="))) {
            r.path = value(a);
            r.format = exportFormatOf(r.path);
            if (r.format == ExportFormat::Unknown) {
                *error = QStringLiteral("unknown file type: %1 (use .png, .svg, .pdf or .csv)").arg(r.path);
                return false;
            }
        } else if (a.startsWith(QLatin1String("--view="))) {
            const QString view = value(a);
            if (view == QLatin1String("plot"))
                r.view = ExportRequest::View::Plot;
            else if (view == QLatin1String("rose"))
                r.view = ExportRequest::View::Rose;
            else if (view == QLatin1String("distribution"))
                r.view = ExportRequest::View::Distribution;
            else {
                *error = QStringLiteral("unknown view: %1 (plot, rose or distribution)").arg(view);
                return false;
            }
        } else if (a.startsWith(QLatin1String("--speed="))) {
            r.speed = value(a);
        } else if (a.startsWith(QLatin1String("--direction="))) {
            r.direction = value(a);
        } else if (a.startsWith(QLatin1String("--sectors="))) {
            bool ok = false;
            r.sectors = value(a).toInt(&ok);
            const auto& choices = roseSectorChoices();
            if (!ok || std::find(choices.begin(), choices.end(), r.sectors) == choices.end()) {
                *error = QStringLiteral("sectors must be 8, 12, 16 or 36: %1").arg(a);
                return false;
            }
        } else if (a.startsWith(QLatin1String("--bin="))) {
            const QString width = value(a);
            if (width != QLatin1String("1") && width != QLatin1String("0.5")) {
                *error = QStringLiteral("the bin width must be 1 or 0.5: %1").arg(a);
                return false;
            }
            r.binWidth = width == QLatin1String("1") ? 1.0 : 0.5;
        } else {
            *error = QStringLiteral("unknown option: %1").arg(a);
            return false;
        }
    }
    if (r.path.isEmpty()) {
        *error = QStringLiteral("no --export=<file> given");
        return false;
    }
    if (r.files.isEmpty()) {
        *error = QStringLiteral("no file to read");
        return false;
    }
    *request = r;
    return true;
}

} // namespace varno::fenlux
