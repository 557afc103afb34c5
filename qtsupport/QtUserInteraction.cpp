#include <qtsupport/QtUserInteraction.h>

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QPrintDialog>

#include <qtsupport/Text.h>

namespace varno::qtsupport {

DefaultQtDialogs::DefaultQtDialogs(QWidget* parent) : m_dialogs(parent)
{
    setDefaultUserInteraction(&m_dialogs);
}

DefaultQtDialogs::~DefaultQtDialogs() { setDefaultUserInteraction(nullptr); }

QWidget* QtUserInteraction::owner() const
{
    return m_parent ? m_parent : QApplication::activeWindow();
}

void QtUserInteraction::message(const QString& text, const QString& caption, Icon icon)
{
    QMessageBox::Icon qtIcon = QMessageBox::NoIcon;
    switch (icon) {
    case Icon::None: break;
    case Icon::Information: qtIcon = QMessageBox::Information; break;
    case Icon::Warning: qtIcon = QMessageBox::Warning; break;
    case Icon::Critical: qtIcon = QMessageBox::Critical; break;
    case Icon::Question: qtIcon = QMessageBox::Question; break;
    }
    QMessageBox box(qtIcon, caption, displayText(text), QMessageBox::Ok, owner());
    box.exec();
}

UserInteraction::Answer QtUserInteraction::question(const QString& text, const QString& caption,
                                                    Buttons buttons, Icon icon)
{
    QMessageBox::StandardButtons set;
    QMessageBox::StandardButton escape = QMessageBox::Cancel;
    switch (buttons) {
    case Buttons::Ok: set = QMessageBox::Ok; escape = QMessageBox::Ok; break;
    case Buttons::OkCancel: set = QMessageBox::Ok | QMessageBox::Cancel; break;
    case Buttons::YesNo: set = QMessageBox::Yes | QMessageBox::No; escape = QMessageBox::No; break;
    case Buttons::YesNoCancel: set = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel; break;
    }
    QMessageBox::Icon qtIcon = QMessageBox::Question;
    if (icon == Icon::Warning)
        qtIcon = QMessageBox::Warning;
    else if (icon == Icon::Critical)
        qtIcon = QMessageBox::Critical;
    else if (icon == Icon::Information)
        qtIcon = QMessageBox::Information;
    else if (icon == Icon::None)
        qtIcon = QMessageBox::NoIcon;
    QMessageBox box(qtIcon, caption, displayText(text), set, owner());
    box.setEscapeButton(escape);
    switch (box.exec()) {
    case QMessageBox::Ok: return Answer::Ok;
    case QMessageBox::Yes: return Answer::Yes;
    case QMessageBox::No: return Answer::No;
    default: return buttons == Buttons::YesNo ? Answer::No : Answer::Cancel;
    }
}

void QtUserInteraction::about(const QString& text, const QString& caption)
{
    QMessageBox::about(owner(), caption, displayText(text));
}

QString QtUserInteraction::openFileName(const QString& caption, const QString& folder,
                                        const QString& filter)
{
    return QFileDialog::getOpenFileName(owner(), caption, folder, filter);
}

QStringList QtUserInteraction::openFileNames(const QString& caption, const QString& folder,
                                             const QString& filter)
{
    return QFileDialog::getOpenFileNames(owner(), caption, folder, filter);
}

QString QtUserInteraction::saveFileName(const QString& caption, const QString& path,
                                        const QString& filter)
{
    return QFileDialog::getSaveFileName(owner(), caption, path, filter);
}

QString QtUserInteraction::existingFolder(const QString& caption, const QString& folder)
{
    return QFileDialog::getExistingDirectory(owner(), caption, folder);
}

bool QtUserInteraction::setUpPrinter(QPrinter& printer)
{
    QPrintDialog dialog(&printer, owner());
    return dialog.exec() == QDialog::Accepted;
}

void QtUserInteraction::beginWaitCursor()
{
    if (qobject_cast<QApplication*>(QCoreApplication::instance()))
        QApplication::setOverrideCursor(Qt::WaitCursor);
}

void QtUserInteraction::endWaitCursor()
{
    if (qobject_cast<QApplication*>(QCoreApplication::instance()))
        QApplication::restoreOverrideCursor();
}

void QtUserInteraction::beep()
{
    if (qobject_cast<QApplication*>(QCoreApplication::instance()))
        QApplication::beep();
}

} // namespace varno::qtsupport
