#include <fenlux/FenluxApp.h>
#include <fenlux/FenluxDoc.h>
#include <fenlux/FenluxView.h>
#include <fenlux/FenluxWindView.h>
#include "FenluxTesting.h"

#include <QAction>
#include <QDropEvent>
#include <QProgressDialog>
#include <QPushButton>
#include <QSlider>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QUrl>

#include <gtest/gtest.h>

#include <memory>

using namespace varno::fenlux;

namespace {

QString columnHeadingOf(const FenluxWindView* view, int column)
{
    return varno::fenlux::columnHeading(view->document()->data(), column);
}

class FenluxAppTest : public testing::Test {
protected:
    void SetUp() override
    {
        setVrnReader(QStringLiteral("ostrel"), QString());
        app = std::make_unique<FenluxApp>();
        app->show();
    }
    void TearDown() override
    {
        app.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    QString file(const QString& name, const QByteArray& bytes)
    {
        const QString path = dir.filePath(name);
        writeFile(path, bytes);
        return path;
    }
    QStringList menuTexts(QMenu* menu)
    {
        QStringList out;
        for (QAction* a : menu->actions())
            out << (a->isSeparator() ? QStringLiteral("-") : a->text());
        return out;
    }
    int visibleWindows()
    {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return app->workspace()->subWindowList().size();
    }

    varno::testing::InstalledInteraction ui;
    QTemporaryDir dir;
    std::unique_ptr<FenluxApp> app;
};

} // namespace

TEST_F(FenluxAppTest, WindowActionsMenusAndReaderDefaults)
{
    EXPECT_EQ(app->windowTitle(), "Fenlux 0.9");
    EXPECT_EQ(app->size(), QSize(450, 400));
    EXPECT_EQ(app->statusBar()->currentMessage(), "Ready.");
    QStringList titles;
    for (QAction* a : app->menuBar()->actions())
        titles << a->text();
    EXPECT_EQ(titles, (QStringList{"&File", "&View", "&Window", "&Help"}));
    QMenu* fileMenu = app->menuBar()->actions()[0]->menu();
    EXPECT_EQ(menuTexts(fileMenu), (QStringList{"&Open...", "&Close", "&Export...", "-", "E&xit"}));
    QMenu* viewMenu = app->menuBar()->actions()[1]->menu();
    EXPECT_EQ(menuTexts(viewMenu),
              (QStringList{"Tool&bar", "&Statusbar", "-", "Wind &Rose", "Speed &Distribution"}));
    // Without a window there is nothing to export or to draw a rose of.
    EXPECT_FALSE(app->action(QStringLiteral("Export"))->isEnabled());
    EXPECT_FALSE(app->action(QStringLiteral("Wind Rose"))->isEnabled());
    QMenu* helpMenu = app->menuBar()->actions()[3]->menu();
    EXPECT_EQ(menuTexts(helpMenu), (QStringList{"&About...", "-", "What's &This"}));

    QAction* save = app->action(QStringLiteral("Save File"));
    ASSERT_NE(save, nullptr);
    EXPECT_EQ(save->shortcut(), QKeySequence(QStringLiteral("Ctrl+S")));
    EXPECT_EQ(save->statusTip(), "Saves the actual document");
    EXPECT_EQ(save->whatsThis(), "Save File.\n\nSaves the actual document");
    EXPECT_TRUE(app->action(QStringLiteral("Toolbar"))->isChecked());
    EXPECT_EQ(app->action(QStringLiteral("Print File"))->shortcut(), QKeySequence(QStringLiteral("Ctrl+P")));
    auto* toolbar = app->findChild<QToolBar*>();
    ASSERT_NE(toolbar, nullptr);
    EXPECT_EQ(toolbar->windowTitle(), "file operations");

    QSettings settings(QStringLiteral("varno"), QStringLiteral("fenlux"));
    EXPECT_EQ(settings.value(QStringLiteral("fenlux/reader/.vrn/command")).toString(), "ostrel");
    EXPECT_EQ(settings.value(QStringLiteral("fenlux/reader/.vrn/description")).toString(),
              "varno data files");

    app->slotHelpAbout();
    EXPECT_EQ(shown(ui).value(0), "about|About...|Fenlux 0.9");
    app->slotStatusHelpMsg(QStringLiteral("hint"));
    EXPECT_EQ(app->statusBar()->currentMessage(), "hint");
}

TEST_F(FenluxAppTest, StartWithoutFilesAsksForOneAndCancelLeavesTheWorkspaceEmpty)
{
    app->openStartupFiles({});
    ASSERT_EQ(asked(ui, UiKind::OpenFile), 1);
    EXPECT_EQ(ui.events()[0].filter,
              "Measurement Data Files (*.csv *.vrn);;Comma Separated Values (*.csv);;All Files(*)");
    EXPECT_EQ(visibleWindows(), 0);
    EXPECT_EQ(app->statusBar()->currentMessage(), "Ready.");

    ui.queueFileName(file(QStringLiteral("a.csv"), csvTable(20)));
    app->slotFileOpen();
    EXPECT_EQ(visibleWindows(), 1);
    EXPECT_TRUE(app->workspace()->subWindowList()[0]->isMaximized());
}

TEST_F(FenluxAppTest, TwoFilesOfOneMeasurementAreJoined)
{
    const QString a = file(QStringLiteral("a.csv"), csvTable(10, 1000000000L, "Mast"));
    const QString b = file(QStringLiteral("b.csv"), csvTable(10, 1000000100L, "Mast"));
    app->openStartupFiles({a, b});
    ASSERT_EQ(app->documents().size(), 1);
    EXPECT_EQ(app->documents()[0]->data().rowCount(), 20u);
    EXPECT_EQ(visibleWindows(), 1);
    EXPECT_EQ(app->documents()[0]->views().front()->originSlider()->maximum(), 19);
    EXPECT_EQ(app->statusBar()->currentMessage(), "Processing Mast");
}

TEST_F(FenluxAppTest, DifferentMeasurementsGetAViewEachTheFirstMaximised)
{
    const QString a = file(QStringLiteral("a.csv"), csvTable(10, 1000000000L, "Mast"));
    // Same title, but starting an hour later: not a continuation.
    const QString b = file(QStringLiteral("b.csv"), csvTable(10, 1000003700L, "Mast"));
    const QString c = file(QStringLiteral("c.csv"), csvTable(10, 1000000100L, "Hill"));
    app->openStartupFiles({a, b, c});
    EXPECT_EQ(app->documents().size(), 3);
    const QList<QMdiSubWindow*> windows = app->workspace()->subWindowList();
    ASSERT_EQ(windows.size(), 3);
    // The workspace keeps the active window maximised, as the first one was shown.
    EXPECT_TRUE(app->workspace()->activeSubWindow()->isMaximized());

    // The window menu lists them, checked at the active one.
    app->windowMenuAboutToShow();
    const QStringList items = menuTexts(app->windowMenu());
    EXPECT_EQ(items.mid(0, 4), (QStringList{"&New Window", "&Cascade", "&Tile", "-"}));
    EXPECT_EQ(items.mid(4), (QStringList{"&1 Mast", "&2 Mast", "&3 Hill"}));
    app->windowMenuActivated(1);
    EXPECT_EQ(app->workspace()->activeSubWindow(), windows[1]);
    app->windowMenuAboutToShow();
    EXPECT_TRUE(app->windowMenu()->actions()[5]->isChecked());
    EXPECT_FALSE(app->windowMenu()->actions()[4]->isChecked());
}

TEST_F(FenluxAppTest, WindowMenuGroupDisabledWithoutWindows)
{
    app->windowMenuAboutToShow();
    EXPECT_FALSE(app->action(QStringLiteral("Cascade"))->isEnabled());
    EXPECT_EQ(menuTexts(app->windowMenu()).size(), 4);
}

TEST_F(FenluxAppTest, SecondViewsCaptionsAndClosing)
{
    const QString a = file(QStringLiteral("a.csv"), csvTable(10));
    FenluxDoc* doc = app->openDocumentFile(a);
    ASSERT_NE(doc, nullptr);
    app->slotWindowNewWindow();
    ASSERT_EQ(doc->views().size(), 2);
    EXPECT_EQ(doc->views()[0]->windowTitle(), "a.csv:1");
    EXPECT_EQ(doc->views()[1]->windowTitle(), "a.csv:2");

    // The same path again only moves the focus.
    EXPECT_EQ(app->openDocumentFile(a), nullptr);
    EXPECT_EQ(app->documents().size(), 1);

    doc->views()[1]->closeWindow();
    ASSERT_EQ(doc->views().size(), 1);
    EXPECT_EQ(doc->views()[0]->windowTitle(), "a.csv");
    app->workspace()->setActiveSubWindow(app->workspace()->subWindowList()[0]);
    app->slotFileClose();
    EXPECT_TRUE(app->documents().isEmpty());
    EXPECT_EQ(visibleWindows(), 0);
}

TEST_F(FenluxAppTest, UntitledSaveAndFailedOpen)
{
    app->slotFileNew();
    ASSERT_EQ(app->documents().size(), 1);
    EXPECT_EQ(app->documents()[0]->title(), "Untitled1");
    app->slotFileSave();
    EXPECT_EQ(asked(ui, UiKind::SaveFile), 1);
    EXPECT_TRUE(shown(ui).isEmpty());
    const QString saveAnswer = dir.filePath(QStringLiteral("out.csv"));
    ui.queueFileName(saveAnswer);
    app->slotFileSaveAs();
    EXPECT_EQ(shown(ui).value(0), "critical|I/O Error !|Could not save the current document !");
    EXPECT_EQ(app->statusBar()->currentMessage(), "Saving file under new filename...");
    EXPECT_FALSE(QFile::exists(saveAnswer));

    const QString named = file(QStringLiteral("n.csv"), csvTable(5));
    app->openDocumentFile(named);
    ui.clear();
    app->slotFileSave();
    EXPECT_EQ(shown(ui).value(0), "critical|I/O Error !|Could not save the current document !");
    EXPECT_EQ(app->statusBar()->currentMessage(), "Ready.");

    ui.clear();
    EXPECT_EQ(app->openDocumentFile(file(QStringLiteral("bad.csv"), "just\ntext\n")), nullptr);
    EXPECT_EQ(shown(ui), (QStringList{"critical|Error !|Could not open document !"}));
    EXPECT_EQ(app->documents().size(), 2);
}

TEST_F(FenluxAppTest, PrintGoesToTheChosenPrinter)
{
    app->openDocumentFile(file(QStringLiteral("p.csv"), csvTable(50)));
    const QString pdfPath = dir.filePath(QStringLiteral("out.pdf"));
    acceptPrinterAsPdf(ui, *app->printer(), pdfPath);
    app->slotFilePrint();
    EXPECT_EQ(asked(ui, UiKind::PrinterSetup), 1);
    EXPECT_TRUE(QFile(pdfPath).size() > 0);
    EXPECT_EQ(app->statusBar()->currentMessage(), "Ready.");

    // A wind window prints its own plot.
    app->action(QStringLiteral("Speed Distribution"))->trigger();
    const QString windPath = dir.filePath(QStringLiteral("wind.pdf"));
    acceptPrinterAsPdf(ui, *app->printer(), windPath);
    app->slotFilePrint();
    EXPECT_EQ(asked(ui, UiKind::PrinterSetup), 2);
    EXPECT_TRUE(QFile(windPath).size() > 0);
}

TEST_F(FenluxAppTest, CancellingTheStartUpDropsTheFileBeingRead)
{
    setVrnReader(helperPath(), QStringLiteral("--hang"));
    const QString first = file(QStringLiteral("first.csv"), csvTable(10));
    const QString hanging = file(QStringLiteral("log.vrn"), csvTable(10, 1200000000L));
    const QString never = file(QStringLiteral("never.csv"), csvTable(10, 1300000000L));
    bool actionsWereDisabled = false;
    bool cancelled = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (!app->isReading() || cancelled)
            return;
        cancelled = true;
        actionsWereDisabled = !app->action(QStringLiteral("Open File"))->isEnabled()
                              && !app->action(QStringLiteral("Exit"))->isEnabled();
        // The progress dialog's own Cancel button.
        auto* progress = app->findChild<QProgressDialog*>();
        ASSERT_NE(progress, nullptr);
        EXPECT_EQ(progress->labelText(), "Reading Measurement Data...");
        EXPECT_EQ(progress->maximum(), 4);
        EXPECT_EQ(progress->value(), 2);
        progress->findChild<QPushButton*>()->click();
    });
    poll.start(0);
    app->openStartupFiles({first, hanging, never});
    poll.stop();
    EXPECT_TRUE(actionsWereDisabled);
    EXPECT_EQ(shown(ui), (QStringList{"critical|Error !|Could not open document !",
                                      "information|Canceled|Canceled"}));
    ASSERT_EQ(app->documents().size(), 1);
    EXPECT_EQ(app->documents()[0]->title(), "first.csv");
    EXPECT_TRUE(app->action(QStringLiteral("Open File"))->isEnabled());
}

TEST_F(FenluxAppTest, ClosingTheWindowWhileReadingStopsTheReadFirst)
{
    setVrnReader(helperPath(), QStringLiteral("--hang"));
    const QString hanging = file(QStringLiteral("log.vrn"), csvTable(10));
    bool closedDuringRead = true;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (!app->isReading())
            return;
        app->close();
        closedDuringRead = !app->isVisible();
    });
    poll.start(0);
    EXPECT_EQ(app->openDocumentFile(hanging), nullptr);
    poll.stop();
    EXPECT_FALSE(closedDuringRead);
    EXPECT_TRUE(app->documents().isEmpty());
    QCoreApplication::processEvents();
    EXPECT_FALSE(app->isVisible());
}

TEST_F(FenluxAppTest, ClosingKeepsWhereTheWindowWasLeft)
{
    app->setGeometry(20, 30, 600, 450);
    app->close();
    QSettings settings(QStringLiteral("varno"), QStringLiteral("fenlux"));
    EXPECT_EQ(settings.value(QStringLiteral("window/geometry")).toRect(), QRect(20, 30, 600, 450));
    EXPECT_FALSE(settings.value(QStringLiteral("window/maximized")).toBool());
}

TEST_F(FenluxAppTest, DataLogsGoThroughTheReaderMatchedByEnding)
{
    setVrnReader(helperPath(), QString());
    const QString log = file(QStringLiteral("LOG.VRN"), csvTable(10));
    FenluxDoc* doc = app->openDocumentFile(log);
    ASSERT_NE(doc, nullptr);
    EXPECT_EQ(doc->data().rowCount(), 10u);

    setVrnReader(QStringLiteral("/nonexistent/ostrel"), QString());
    ui.clear();
    EXPECT_EQ(app->openDocumentFile(file(QStringLiteral("x.vrn"), "")), nullptr);
    EXPECT_EQ(shown(ui), (QStringList{"critical|Read Error|Unable to start reader process: "
                                      "/nonexistent/ostrel",
                                      "critical|Error !|Could not open document !"}));
}

TEST_F(FenluxAppTest, WindowsOfRoseAndDistributionKeepTheirDocument)
{
    FenluxDoc* doc = app->openDocumentFile(file(QStringLiteral("w.csv"), csvTable(300)));
    ASSERT_NE(doc, nullptr);
    // A second plot of the document; the rose follows the plot it was opened from.
    app->slotWindowNewWindow();
    FenluxView* second = doc->views().back();
    app->action(QStringLiteral("Wind Rose"))->trigger();
    auto* rose = qobject_cast<FenluxRoseView*>(app->activeWindow());
    ASSERT_NE(rose, nullptr);
    EXPECT_EQ(rose->document(), doc);
    EXPECT_EQ(rose->source(), second);
    EXPECT_EQ(rose->windowTitle(), "Wind rose - w.csv");
    EXPECT_EQ(columnHeadingOf(rose, rose->directionColumn()), "dir_mean");
    EXPECT_EQ(rose->rose().used, 300);
    // A distribution opened from the rose follows the rose's plot.
    app->action(QStringLiteral("Speed Distribution"))->trigger();
    auto* distribution = qobject_cast<FenluxDistributionView*>(app->activeWindow());
    ASSERT_NE(distribution, nullptr);
    EXPECT_EQ(distribution->source(), second);
    second->magnifySlider()->setValue(500);
    EXPECT_EQ(distribution->rows().size(), size_t(second->drawnCount()));
    EXPECT_EQ(rose->rows().size(), distribution->rows().size());

    // Closing the plots leaves the document to the wind windows; the last one takes it away.
    doc->views().front()->closeWindow();
    second->closeWindow();
    EXPECT_TRUE(doc->views().isEmpty());
    EXPECT_EQ(app->documents().size(), 1);
    EXPECT_EQ(visibleWindows(), 2);
    app->workspace()->setActiveSubWindow(app->workspace()->subWindowList().front());
    app->slotWindowNewWindow(); // a new plot of the rose's document
    EXPECT_EQ(doc->views().size(), 1);
    app->slotFileClose();
    EXPECT_TRUE(app->documents().isEmpty());
    EXPECT_EQ(visibleWindows(), 0);
}

TEST_F(FenluxAppTest, ExportWritesTheActiveViewAsPictureOrRows)
{
    FenluxDoc* doc = app->openDocumentFile(file(QStringLiteral("e.csv"), csvTable(100)));
    ASSERT_NE(doc, nullptr);
    FenluxView* plot = doc->views().front();
    plot->tableClicked(0, 2); // speed max
    plot->magnifySlider()->setValue(1000);
    plot->originSlider()->setValue(40);

    const QString csv = dir.filePath(QStringLiteral("visible.csv"));
    ui.queueFileName(csv);
    app->action(QStringLiteral("Export"))->trigger();
    QFile rows(csv);
    ASSERT_TRUE(rows.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = rows.readAll().split('\n');
    EXPECT_EQ(lines.value(0), "\"time\",\"speed_max\"");
    EXPECT_EQ(lines.size(), 12); // 10 rows and the empty end
    EXPECT_EQ(lines.value(1), "2006-08-17 12:05:50,1");
    EXPECT_EQ(app->statusBar()->currentMessage(), "Exported to " + csv);

    app->action(QStringLiteral("Wind Rose"))->trigger();
    for (const char* name : {"rose.png", "rose.svg", "rose.pdf"}) {
        const QString path = dir.filePath(QString::fromLatin1(name));
        ui.queueFileName(path);
        app->slotFileExport();
        QFile picture(path);
        ASSERT_TRUE(picture.open(QIODevice::ReadOnly)) << name;
        const QByteArray head = picture.read(200);
        EXPECT_TRUE(head.startsWith("\x89PNG") || head.contains("<svg") || head.startsWith("%PDF-")) << name;
        EXPECT_GT(picture.size(), 1000) << name;
    }
    EXPECT_TRUE(shown(ui).isEmpty());

    ui.queueFileName(dir.filePath(QStringLiteral("rose.bmp")));
    app->slotFileExport();
    EXPECT_EQ(shown(ui).value(0), "critical|Export|Could not export to " + dir.filePath(QStringLiteral("rose.bmp"))
                                      + ":\nunknown file type (use .png, .svg, .pdf or .csv)");
    ui.clear();
    ui.queueFileName(dir.filePath(QStringLiteral("no/such/folder/rose.png")));
    app->slotFileExport();
    EXPECT_TRUE(shown(ui).value(0).startsWith("critical|Export|Could not export to ")) << shown(ui).value(0).toStdString();
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("rose.bmp"))));
}

TEST_F(FenluxAppTest, DroppedFilesAreOpened)
{
    const QString a = file(QStringLiteral("a.csv"), csvTable(10));
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(a)});
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(app.get(), &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(app.get(), &drop);
    EXPECT_EQ(app->documents().size(), 1);
}
