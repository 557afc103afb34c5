#pragma once

#include <fenlux/FenluxWind.h>

#include <QFont>
#include <QList>
#include <QString>
#include <QWidget>

#include <vector>

class QCheckBox;
class QLabel;
class QMouseEvent;
class QPrinter;
class QPushButton;
class QSlider;
class QTableWidget;
class QwtPlotMarker;

namespace varno::fenlux {

class FenluxDoc;
class FenluxPlot;
class FenluxPicker;

// One window on a document: the plot of its columns, a table of functions by statistic
// that switches curves on and off and shows the values at the cursor, and two sliders
// for the span shown (magnify) and the cursor row (origin).
class FenluxView : public QWidget {
    Q_OBJECT
public:
    explicit FenluxView(FenluxDoc* doc, QWidget* parent = nullptr);
    ~FenluxView() override;

    FenluxDoc* document() const { return m_doc; }

    // Takes up the document's data again unless sender is this view (the document's
    // changed signal).
    using QWidget::update;
    void update(FenluxView* sender);
    void setCaption(const QString& caption);
    // Closes the window around the view (the main window decides whether it may).
    bool closeWindow();
    // Printer set-up, then the plot on the chosen printer; false when cancelled.
    bool print(QPrinter* printer);
    void redraw();

    long origin() const { return m_origin; }
    long visibleCount() const { return m_visible; }
    bool timeMode() const { return m_timeMode; }
    FenluxPlot* plot() const { return m_plot; }
    QTableWidget* table() const { return m_table; }
    QSlider* magnifySlider() const { return m_magnify; }
    QSlider* originSlider() const { return m_originSlider; }
    QCheckBox* timeButton() const { return m_timeButton; }
    QLabel* cellLabel(int column) const;
    bool isShown(int column) const;
    QString colourName(int column) const;
    QwtPlotMarker* cursorMarker() const { return m_cursor; }
    FenluxPicker* picker() const { return m_picker; }
    // First row and count drawn by the last redraw.
    long drawnStart() const { return m_drawnStart; }
    long drawnCount() const { return m_drawnCount; }
    RowRange shownRows() const;
    // The measured columns whose curves are shown; all of them when none is.
    std::vector<int> shownColumns() const;

    // The value axis: zoomed to low .. high, or back to the automatic scale.
    void zoomValueAxis(double low, double high);
    bool isValueAxisZoomed() const { return m_valueZoomed; }
    QPushButton* resetZoomButton() const { return m_resetZoom; }

signals:
    // The rows drawn changed (another span or cursor): views of the same rows follow.
    void rangeChanged();

public slots:
    void setXorigin(int value);
    void setXmagnify(int value);
    void attachData();
    void plotMousePressed(const QMouseEvent& event);
    void plotMouseMoved(const QMouseEvent& event);
    void plotMouseReleased(const QMouseEvent& event);
    void optionChanged();
    void showAllFunctions();
    void hideAllFunctions();
    void tableClicked(int row, int column);
    void enableTimeAxis(int state);
    void headerClicked(int section);
    void resetValueZoom();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct CurveRecord {
        QString colour;
        bool shown = false;
        int width = 1;
    };

    void buildTable();
    void zoomTo(double a, double b);
    // Zooms the value axis by factor around value (a wheel turn with Ctrl).
    void scaleValueAxis(double factor, double value);
    void snapOriginTo(long value);
    void setRowHeaderColour(int row, const QColor& colour);
    const double* xData() const;

    FenluxDoc* m_doc;
    long m_origin = 0;
    long m_visible = 0;
    bool m_timeMode = true;
    double m_pressPosition = -1.0;
    int m_valuePressY = 0; // where a drag with Ctrl began, in canvas pixels
    bool m_valueZoomed = false;
    double m_valueLow = 0.0;
    double m_valueHigh = 1.0;
    long m_drawnStart = 0;
    long m_drawnCount = 0;
    QFont m_font;
    FenluxPlot* m_plot = nullptr;
    QwtPlotMarker* m_cursor = nullptr;
    QwtPlotMarker* m_zeroLine = nullptr;
    FenluxPicker* m_picker = nullptr;
    QList<QLabel*> m_labels;
    QList<CurveRecord> m_curves;
    QCheckBox* m_timeButton = nullptr;
    QPushButton* m_showAll = nullptr;
    QPushButton* m_hideAll = nullptr;
    QPushButton* m_resetZoom = nullptr;
    QSlider* m_magnify = nullptr;
    QSlider* m_originSlider = nullptr;
    QTableWidget* m_table = nullptr;
};

} // namespace varno::fenlux
