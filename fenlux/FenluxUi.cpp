#include "FenluxUi.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>

FenluxUi::~FenluxUi() = default;

void FenluxUi::critical(QWidget* parent, const QString& title, const QString& text)
{
    QMessageBox::critical(parent, title, text);
}

void FenluxUi::information(QWidget* parent, const QString& title, const QString& text)
{
    QMessageBox::information(parent, title, text);
}

void FenluxUi::about(QWidget* parent, const QString& title, const QString& text)
{
    QMessageBox::about(parent, title, text);
}

QString FenluxUi::openFileName(QWidget* parent, const QString& filter)
{
    return QFileDialog::getOpenFileName(parent, QString(), QString(), filter);
}

QString FenluxUi::saveFileName(QWidget* parent)
{
    return QFileDialog::getSaveFileName(parent);
}

bool FenluxUi::setupPrinter(QWidget* parent, QPrinter* printer)
{
    QPrintDialog dialog(printer, parent);
    return dialog.exec() == QDialog::Accepted;
}

namespace {
FenluxUi g_defaultUi;
FenluxUi* g_ui = nullptr;
} // namespace

FenluxUi& fenluxUi()
{
    return g_ui ? *g_ui : g_defaultUi;
}

void fenlux_setui(FenluxUi* ui)
{
    g_ui = ui;
}
