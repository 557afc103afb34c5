#pragma once

#include <qtsupport/UserInteraction.h>

class QWidget;

namespace varno::qtsupport {

// Qt dialogs: QMessageBox, QFileDialog, QPrintDialog, the application's override cursor.
// A windowed program makes them the default of userInteraction() with DefaultQtDialogs.
class QTSUPPORT_API QtUserInteraction : public UserInteraction {
public:
    // parent: owner of the dialogs; none means the active window.
    explicit QtUserInteraction(QWidget* parent = nullptr) : m_parent(parent) {}
    void setParent(QWidget* parent) { m_parent = parent; }

    void message(const QString& text, const QString& caption,
                 Icon icon = Icon::Information) override;
    Answer question(const QString& text, const QString& caption, Buttons buttons,
                    Icon icon = Icon::Question) override;
    void about(const QString& text, const QString& caption) override;
    QString openFileName(const QString& caption, const QString& folder,
                         const QString& filter) override;
    QStringList openFileNames(const QString& caption, const QString& folder,
                              const QString& filter) override;
    QString saveFileName(const QString& caption, const QString& path,
                         const QString& filter) override;
    QString existingFolder(const QString& caption, const QString& folder) override;
    bool setUpPrinter(QPrinter& printer) override;
    void beginWaitCursor() override;
    void endWaitCursor() override;
    void beep() override;

private:
    QWidget* owner() const;
    QWidget* m_parent;
};

// The Qt dialogs as the default of userInteraction() for the guard's lifetime. Every
// windowed program holds one in main(), right after its QApplication, so that nothing it
// asks or tells goes to the standard-error default of console programs. An installed
// interaction (setUserInteraction, e.g. a test's scripted one) still comes first.
class QTSUPPORT_API DefaultQtDialogs {
public:
    // parent: owner of the dialogs; none means the active window.
    explicit DefaultQtDialogs(QWidget* parent = nullptr);
    ~DefaultQtDialogs();
    DefaultQtDialogs(const DefaultQtDialogs&) = delete;
    DefaultQtDialogs& operator=(const DefaultQtDialogs&) = delete;

    void setParent(QWidget* parent) { m_dialogs.setParent(parent); }

private:
    QtUserInteraction m_dialogs;
};

} // namespace varno::qtsupport
