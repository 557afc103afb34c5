#pragma once

#include <fenlux/FenluxWind.h>

#include <QList>
#include <QPair>
#include <QPointer>
#include <QString>
#include <QVariant>
#include <QWidget>

#include <vector>

class QComboBox;
class QHBoxLayout;
class QwtPlot;
class QwtPlotCurve;
class QwtPlotHistogram;
class QwtPlotTextLabel;

namespace varno::fenlux {

class FenluxDoc;
class FenluxRoseItem;
class FenluxView;

// A window of wind figures over the rows of a measurement that a plot view shows: the
// rose or the speed distribution. It follows the plot's time range while that window is
// open (all rows without one) and draws into a plot that the export renders.
class FenluxWindView : public QWidget {
    Q_OBJECT
public:
    // source: the plot view whose time range is shown; may be nullptr.
    FenluxWindView(FenluxDoc* doc, FenluxView* source, QWidget* parent = nullptr);
    ~FenluxWindView() override;

    FenluxDoc* document() const { return m_doc; }
    // The plot view whose rows are shown; nullptr without one or once it closed.
    FenluxView* source() const { return m_source; }
    QwtPlot* plot() const { return m_plot; }
    RowRange rows() const { return m_rows; }
    int speedColumn() const;
    void setSpeedColumn(int column);
    QComboBox* speedBox() const { return m_speedBox; }
    // The columns a CSV export of this view holds.
    virtual std::vector<int> exportColumns() const;

public slots:
    // Takes up the rows and columns again and draws.
    void refresh();

protected:
    // A labelled chooser in the row of controls, filled with items (text and data) and
    // selected chosen; choosing another draws anew.
    QComboBox* addChooser(const QString& label, const QList<QPair<QString, QVariant>>& items,
                          const QVariant& selected);
    // The same for the measured columns (-1: none chosen).
    QComboBox* addColumnChooser(const QString& label, int selected);
    static int chosenColumn(const QComboBox* box);
    static void chooseColumn(QComboBox* box, int column);
    // "<what>: <title>" and the time range of the rows, as the plot's title.
    void setTitle(const QString& what);
    virtual void compute() = 0;

private:
    FenluxDoc* m_doc;
    QPointer<FenluxView> m_source;
    RowRange m_rows;
    QwtPlot* m_plot;
    QHBoxLayout* m_controls;
    QComboBox* m_speedBox;
};

// Where the wind comes from: the speed classes per direction sector.
class FenluxRoseView : public FenluxWindView {
    Q_OBJECT
public:
    FenluxRoseView(FenluxDoc* doc, FenluxView* source, QWidget* parent = nullptr);

    int directionColumn() const;
    void setDirectionColumn(int column);
    void setSectors(int sectors);
    QComboBox* directionBox() const { return m_directionBox; }
    QComboBox* sectorBox() const { return m_sectorBox; }
    const WindRose& rose() const;
    std::vector<int> exportColumns() const override;

protected:
    void compute() override;

private:
    QComboBox* m_directionBox;
    QComboBox* m_sectorBox;
    FenluxRoseItem* m_item;
};

// How strong the wind blows: the histogram of the speeds with the fitted Weibull density
// and the figures of a site report.
class FenluxDistributionView : public FenluxWindView {
    Q_OBJECT
public:
    FenluxDistributionView(FenluxDoc* doc, FenluxView* source, QWidget* parent = nullptr);

    void setBinWidth(double width);
    QComboBox* binBox() const { return m_binBox; }
    const SpeedDistribution& distribution() const { return m_distribution; }
    // The figures written on the plot.
    QString figuresText() const;
    // "weibull k=... A=... n=... mean=..." (C-locale numbers, "nan" without a fit).
    QString summaryLine() const;

protected:
    void compute() override;

private:
    QComboBox* m_binBox;
    SpeedDistribution m_distribution;
    QwtPlotHistogram* m_histogram;
    QwtPlotCurve* m_density;
    QwtPlotTextLabel* m_figures;
};

} // namespace varno::fenlux
