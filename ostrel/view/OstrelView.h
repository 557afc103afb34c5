#pragma once

#include <QAbstractScrollArea>
#include <QFont>

#include <vector>

#include <ostrel/Ostrel.h>

#define OSTRELVIEW_API __attribute__((visibility("default")))

// A child window that shows the entries of a COstrel as scrolling text, one entry per
// line: the entry's time in gray, then its text. Lines the decoder made up or that start
// with "*" (LOGF_STAR) are never shown. The vertical position is the index of the first
// entry shown; the horizontal position is in pixels.
//
// Keys: Space one line down, Page Up/Down one page, End/Home next/previous
// identification line, T next marker line.
class OSTRELVIEW_API COstrelView : public QAbstractScrollArea {
public:
    enum { HorizontalChars = 200 };

    explicit COstrelView(COstrel* data = nullptr);
    ~COstrelView() override;

    // Makes this a visible child of parent over rect and prepares the view.
    bool Create(const QRect& rect, QWidget* parent, unsigned id);
    unsigned GetId() const { return m_id; }

    void AttachData(COstrel* data); // not owned
    void DetachData();
    COstrel* GetData() const { return m_data; }

    // First shown line to the next (direction >= 1) or previous (direction < 1) entry
    // with LOGF_IDENT, or LOGF_MARK; to the last entry reached when there is none.
    void ScrollToHeader(int direction);
    void ScrollToTimestamp(int direction);

    // With data attached: scroll ranges from the data, then a repaint.
    void InitDataView();
    void UpdateDataView();

    // Layout state.
    int GetFirstIndex() const;
    void SetFirstIndex(int index);
    int GetHorizontalPosition() const;
    void SetHorizontalPosition(int pixels);
    int GetLineHeight() const { return m_lineHeight; }
    int GetCharWidth() const { return m_charWidth; }
    int GetScreenLines() const;
    int GetPageSize() const { return m_pageSize; }
    // Entry index drawn on each screen line from the top; -1 for lines past the end.
    std::vector<int> GetShownEntries() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void changeEvent(QEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    void updateMetrics();
    void scrollToFlag(int flag, int direction);
    void stepLines(int lines);

    COstrel* m_data;
    unsigned m_id = 0;
    int m_lineHeight = 1;
    int m_charWidth = 1;
    int m_pageSize = 1;
};

extern "C" {
// Lets COstrel::CreateView make views of this class. Windowed programs call it once at
// start; until then CreateView gives nullptr.
OSTRELVIEW_API void ostrelview_register();
}
