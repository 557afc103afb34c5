#include <ostrel/view/OstrelView.h>

#include <QFontDatabase>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>
#include <QTextCodec>

#include <ostrel/OstrelUi.h>

namespace {

const QColor kTextColor(0, 0, 128);    // navy
const QColor kWarningColor(128, 0, 0); // dark red
const QColor kStarColor(Qt::gray);

// Entry texts are bytes: UTF-8 when valid, else Latin-1 as the instruments write them.
QString entryText(const std::string& bytes)
{
    static QTextCodec* const utf8 = QTextCodec::codecForName("UTF-8");
    QTextCodec::ConverterState state(QTextCodec::IgnoreHeader);
    const QString text = utf8->toUnicode(bytes.data(), int(bytes.size()), &state);
    if (state.invalidChars == 0 && state.remainingChars == 0)
        return text;
    return QString::fromLatin1(bytes.data(), int(bytes.size()));
}

class WaitCursorScope {
public:
    WaitCursorScope() { ostrel_ui().BeginWaitCursor(); }
    ~WaitCursorScope() { ostrel_ui().EndWaitCursor(); }
};

COstrelView* makeView(COstrel* data, const QRect* rect, QWidget* parent)
{
    auto* view = new COstrelView(data);
    QRect area(0, 0, 400, 300);
    if (rect)
        area = *rect;
    else if (parent)
        area = parent->rect();
    if (!view->Create(area, parent, 1)) {
        delete view;
        return nullptr;
    }
    return view;
}

} // namespace

COstrelView::COstrelView(COstrel* data) : m_data(data)
{
    setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setFocusPolicy(Qt::StrongFocus);
    setFrameShape(QFrame::NoFrame);
    viewport()->setAutoFillBackground(false);
    verticalScrollBar()->setRange(0, 0);
    horizontalScrollBar()->setRange(0, 0);
    updateMetrics();
}

COstrelView::~COstrelView() = default;

bool COstrelView::Create(const QRect& rect, QWidget* parent, unsigned id)
{
    m_id = id;
    if (parent)
        setParent(parent);
    setWindowTitle(QStringLiteral("COstrelView"));
    setGeometry(rect);
    show();
    InitDataView();
    return true;
}

void COstrelView::AttachData(COstrel* data)
{
    m_data = data;
    InitDataView();
}

void COstrelView::DetachData()
{
    m_data = nullptr;
    verticalScrollBar()->setRange(0, 0);
    horizontalScrollBar()->setRange(0, 0);
    // Nothing of the old data may stay on screen: it may be gone soon.
    viewport()->update();
}

void COstrelView::InitDataView()
{
    if (!m_data)
        return;
    updateMetrics();
    horizontalScrollBar()->setRange(0, HorizontalChars * m_charWidth);
    verticalScrollBar()->setRange(0, std::max(0, m_data->GetEntryCount()));
    UpdateDataView();
}

void COstrelView::UpdateDataView()
{
    if (!m_data)
        return;
    viewport()->update();
}

int COstrelView::GetFirstIndex() const { return verticalScrollBar()->value(); }

void COstrelView::SetFirstIndex(int index) { verticalScrollBar()->setValue(index); }

int COstrelView::GetHorizontalPosition() const { return horizontalScrollBar()->value(); }

void COstrelView::SetHorizontalPosition(int pixels) { horizontalScrollBar()->setValue(pixels); }

int COstrelView::GetScreenLines() const { return viewport()->height() / m_lineHeight + 1; }

void COstrelView::updateMetrics()
{
    const QFontMetrics metrics(font());
    m_lineHeight = std::max(1, metrics.height());
    m_charWidth = std::max(1, metrics.horizontalAdvance(QLatin1Char('X')));

    const int lines = GetScreenLines();
    if (lines > 2) {
        m_pageSize = lines * 2 / 3;
        verticalScrollBar()->setPageStep(m_pageSize);
        horizontalScrollBar()->setPageStep(20 * m_charWidth);
        if (m_data)
            horizontalScrollBar()->setMaximum(HorizontalChars * m_charWidth);
    }
    verticalScrollBar()->setSingleStep(1);
    horizontalScrollBar()->setSingleStep(m_charWidth);
}

std::vector<int> COstrelView::GetShownEntries() const
{
    std::vector<int> shown;
    if (!m_data)
        return shown;
    const int count = m_data->GetEntryCount();
    const int lines = GetScreenLines();
    shown.reserve(size_t(lines));
    int index = GetFirstIndex();
    for (int line = 0; line < lines; ++line) {
        while (index < count && (m_data->GetEntryFlags(index) & LOGF_STAR))
            ++index;
        shown.push_back(index < count ? index : -1);
        ++index;
    }
    return shown;
}

void COstrelView::paintEvent(QPaintEvent*)
{
    QPainter painter(viewport());
    painter.fillRect(viewport()->rect(), Qt::white);
    if (!m_data)
        return;
    painter.setFont(font());
    const QFontMetrics metrics(font());
    const int ascent = metrics.ascent();
    const int x0 = GetHorizontalPosition();
    const QColor timeColor = palette().color(QPalette::Disabled, QPalette::Text);
    // The font is fixed-width: a line never needs more characters than fill the width.
    const int maxChars = (x0 + viewport()->width()) / m_charWidth + 2;

    const std::vector<int> shown = GetShownEntries();
    for (size_t line = 0; line < shown.size(); ++line) {
        const int i = shown[line];
        if (i < 0)
            break;
        const int baseline = int(line) * m_lineHeight + ascent;
        char buf[CUtcTime::PrintBufferSize];
        const QString time = QString::fromLatin1(m_data->GetEntryTime(i).Print(buf, false));
        painter.setPen(timeColor);
        painter.drawText(2 - x0, baseline, time);

        const int flags = m_data->GetEntryFlags(i);
        QColor color = Qt::black;
        if (flags & LOGF_TEXT)
            color = kTextColor;
        if (flags & LOGF_WARNING)
            color = kWarningColor;
        if (flags & LOGF_STAR)
            color = kStarColor;
        painter.setPen(color);
        QString text = entryText(m_data->GetEntryText(i));
        const int timeWidth = metrics.horizontalAdvance(time);
        if (text.size() > maxChars + timeWidth / m_charWidth)
            text.truncate(maxChars + timeWidth / m_charWidth);
        painter.drawText(m_charWidth + timeWidth - x0, baseline, text);
    }
}

void COstrelView::resizeEvent(QResizeEvent* event)
{
    QAbstractScrollArea::resizeEvent(event);
    updateMetrics();
    viewport()->update();
}

void COstrelView::changeEvent(QEvent* event)
{
    QAbstractScrollArea::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        updateMetrics();
        if (m_data)
            horizontalScrollBar()->setMaximum(HorizontalChars * m_charWidth);
        viewport()->update();
    }
}

void COstrelView::scrollContentsBy(int, int) { UpdateDataView(); }

void COstrelView::stepLines(int lines)
{
    QScrollBar* bar = verticalScrollBar();
    const long target = long(bar->value()) + lines;
    bar->setValue(int(std::clamp<long>(target, bar->minimum(), bar->maximum())));
}

void COstrelView::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Space: stepLines(1); break;
    case Qt::Key_PageUp: stepLines(-m_pageSize); break;
    case Qt::Key_PageDown: stepLines(m_pageSize); break;
    case Qt::Key_End: ScrollToHeader(1); break;
    case Qt::Key_Home: ScrollToHeader(-1); break;
    case Qt::Key_T: ScrollToTimestamp(1); break;
    default: QAbstractScrollArea::keyPressEvent(event); return;
    }
    event->accept();
}

void COstrelView::ScrollToHeader(int direction) { scrollToFlag(LOGF_IDENT, direction); }

void COstrelView::ScrollToTimestamp(int direction) { scrollToFlag(LOGF_MARK, direction); }

void COstrelView::scrollToFlag(int flag, int direction)
{
    if (!m_data)
        return;
    const int count = m_data->GetEntryCount();
    if (count <= 0)
        return;
    WaitCursorScope wait;
    const int step = direction >= 1 ? 1 : -1;
    int i = std::clamp(GetFirstIndex() + step, 0, count - 1);
    while (!(m_data->GetEntryFlags(i) & flag)) {
        const int next = i + step;
        if (next < 0 || next >= count)
            break;
        i = next;
    }
    SetFirstIndex(i);
    UpdateDataView();
}

void ostrelview_register() { ostrel_setviewfactory(&makeView); }
