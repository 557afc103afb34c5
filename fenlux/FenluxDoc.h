#pragma once

#include <fenlux/FenluxData.h>

#include <QList>
#include <QObject>
#include <QString>

namespace varno::fenlux {

class FenluxApp;
class FenluxReader;
class FenluxView;

// One measurement: its columns, texts and the views that show it. The document never
// calls its views: they follow its signals and read it back.
class FenluxDoc : public QObject {
    Q_OBJECT
public:
    explicit FenluxDoc(FenluxApp* app);
    ~FenluxDoc() override;

    FenluxApp* app() const { return m_app; }

    // Adding and removing views renumbers their captions (captionsChanged).
    void addView(FenluxView* view);
    void removeView(FenluxView* view);
    bool isLastView() const { return m_views.size() == 1; }
    const QList<FenluxView*>& views() const { return m_views; }
    // The title for a single view; with several, the title and ":n" by the view's place.
    QString captionOf(FenluxView* view) const;

    bool newDocument();
    // Reads path through the reader program set up for its file-name ending, else as a
    // comma-separated text file. Aborting the open also stops the reader.
    bool openFile(const QString& path);
    // Reads a comma-separated text file ("-" is standard input).
    bool openDocument(const QString& path);
    // Reads what the reader program writes for path.
    bool openDocument(const QString& path, FenluxReader* reader);
    // Appends the rows of other (same columns and header line only).
    bool appendDocument(const FenluxDoc* other);

    double firstTime() const { return m_data.firstTime(); }
    double lastTime() const { return m_data.lastTime(); }

    bool isModified() const { return m_modified; }
    const QString& title() const { return m_title; }
    const QString& pathName() const { return m_pathName; }
    const std::string& headerLine() const { return m_data.headerLine(); }
    void setPathName(const QString& path);
    void setTitle(const QString& title);

    const FenluxData& data() const { return m_data; }
    FenluxData& data() { return m_data; }

    // Lines read between two turns of the event loop while a file is read.
    static constexpr int kLinesPerEventTurn = 1024;

public slots:
    // Every view but sender takes up the data again (changed).
    void updateAllViews(FenluxView* sender);
    void appendLine(const char* line);
    void removeData();
    void slotAbortOpen();

signals:
    void signalAbortOpen();
    // The data changed; views other than sender show it again.
    void changed(FenluxView* sender);
    // The list of views changed: each takes its caption anew (captionOf).
    void captionsChanged();

private:
    bool finishOpen(const QString& path);

    FenluxApp* m_app;
    bool m_modified = false;
    bool m_abort = false;
    QString m_title;
    QString m_pathName;
    QList<FenluxView*> m_views;
    FenluxData m_data;
};

} // namespace varno::fenlux
