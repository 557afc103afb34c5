#pragma once

#include <qtsupport/UserInteraction.h>

class QWidget;

namespace varno::qtsupport {

// Qt dialogs: QMessageBox, QFileDialog, QPrintDialog, the application's override cursor.
// Loading this library makes a process-wide instance the default of userInteraction(). The
// linker keeps the library in a program only when the program uses one of its symbols
// (this class, installOstrelQtUi), as every windowed program of the suite does.
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

} // namespace varno::qtsupport
