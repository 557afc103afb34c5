#include "TrelisDlg.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QResizeEvent>

#include <Ostrel.h>
#include <OstrelView.h>
#include <Text.h>
#include <UserInteraction.h>

#include "TrelisIcon.h"

QString BuildViewerTitle(const CUtcTime& earliest, const CUtcTime& latest,
                         const std::string& title)
{
    char from[CUtcTime::PrintBufferSize];
    char to[CUtcTime::PrintBufferSize];
    return QString::fromLatin1(earliest.Print(from, true)) + " - "
        + QString::fromLatin1(latest.Print(to, true)) + " : \"" + varno::textFromBytes(title)
        + "\"";
}

CTrelisDlg::CTrelisDlg(COstrel* data, QWidget* parent) : QDialog(parent), m_data(data)
{
    setWindowFlags(windowFlags() | Qt::WindowMinMaxButtonsHint);
    setSizeGripEnabled(true);
    setWindowIcon(TrelisIcon());
    resize(760, 480);

    m_menuBar = new QMenuBar(this);
    QMenu* help = m_menuBar->addMenu(tr("&Help"));
    m_about = help->addAction(QStringLiteral("&About trelis..."));
    connect(m_about, &QAction::triggered, this, [this] { ShowAbout(); });

    if (m_data) {
        const QRect area = viewArea();
        m_view = m_data->CreateView(&area, this);
        if (!m_view) {
            // No factory registered: make the view directly.
            m_view = new COstrelView(m_data);
            m_view->Create(area, this, 1);
        }
        setWindowTitle(BuildViewerTitle(m_data->GetMinTime(), m_data->GetMaxTime(),
                                        m_data->GetTitle()));
        m_view->setFocus();
    }
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

void CTrelisDlg::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    m_menuBar->setGeometry(0, 0, width(), m_menuBar->sizeHint().height());
    if (m_view)
        m_view->setGeometry(viewArea());
}

void CTrelisDlg::ShowAbout()
{
    varno::userInteraction().message(QStringLiteral("Varno Viewer Version 1.0"),
                                     QStringLiteral("About Varno Viewer"),
                                     varno::UserInteraction::Icon::Information);
}
