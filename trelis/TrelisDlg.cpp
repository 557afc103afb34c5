#include <trelis/TrelisDlg.h>

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QVBoxLayout>

#include <ostrel/Ostrel.h>
#include <ostrel/view/OstrelView.h>
#include <qtsupport/Text.h>
#include <qtsupport/UserInteraction.h>

#include <trelis/TrelisIcon.h>

namespace varno::trelis {

QString BuildViewerTitle(const CUtcTime& earliest, const CUtcTime& latest,
                         const std::string& title)
{
    char from[CUtcTime::PrintBufferSize];
    char to[CUtcTime::PrintBufferSize];
    return QString::fromLatin1(earliest.Print(from, true)) + " - "
        + QString::fromLatin1(latest.Print(to, true)) + " : \"" + qtsupport::textFromBytes(title)
        + "\"";
}

CTrelisDlg::CTrelisDlg(COstrel* data, QWidget* parent) : QDialog(parent), m_data(data)
{
    setWindowFlags(windowFlags() | Qt::WindowMinMaxButtonsHint);
    setSizeGripEnabled(true);
    setWindowIcon(TrelisIcon());
    resize(760, 480);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    m_menuBar = new QMenuBar(this);
    layout->setMenuBar(m_menuBar);
    QMenu* help = m_menuBar->addMenu(tr("&Help"));
    m_about = help->addAction(QStringLiteral("&About trelis..."));
    m_about->setShortcut(QKeySequence::HelpContents);
    addAction(m_about);
    connect(m_about, &QAction::triggered, this, [this] { ShowAbout(); });

    const QRect area = viewArea();
    if (m_data)
        m_view = m_data->CreateView(&area, this);
    if (!m_view) {
        // No data, or no factory registered: make the view directly.
        m_view = new COstrelView(m_data);
        m_view->Create(area, this, 1);
    }
    layout->addWidget(m_view);
    // The About entry also sits in the view's context menu.
    m_view->setContextMenuPolicy(Qt::ActionsContextMenu);
    m_view->addAction(m_about);
    m_view->setFocus();
    setWindowTitle(m_data ? BuildViewerTitle(m_data->GetMinTime(), m_data->GetMaxTime(),
                                             m_data->GetTitle())
                          : BuildViewerTitle(CUtcTime(), CUtcTime(), std::string()));
}

CTrelisDlg::~CTrelisDlg()
{
    // The view goes first: it reads the data until it is gone.
    delete m_view;
}

QRect CTrelisDlg::viewArea() const
{
    const int top = m_menuBar->sizeHint().height();
    return QRect(0, top, width(), std::max(0, height() - top));
}

void CTrelisDlg::ShowAbout()
{
    qtsupport::userInteraction().message(QStringLiteral("Varno Viewer Version 1.0"),
                                     QStringLiteral("About Varno Viewer"),
                                     qtsupport::UserInteraction::Icon::Information);
}

} // namespace varno::trelis
