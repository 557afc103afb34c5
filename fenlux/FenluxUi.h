#pragma once

#include <QString>

class QPrinter;
class QWidget;

// Every modal exchange of the plotter with its user goes through this object: message
// boxes, file dialogs and the printer set-up. Tests install one that records the texts
// and gives scripted answers.
class FenluxUi {
public:
    virtual ~FenluxUi();
    virtual void critical(QWidget* parent, const QString& title, const QString& text);
    virtual void information(QWidget* parent, const QString& title, const QString& text);
    virtual void about(QWidget* parent, const QString& title, const QString& text);
    // Empty when the user cancels.
    virtual QString openFileName(QWidget* parent, const QString& filter);
    virtual QString saveFileName(QWidget* parent);
    // Shows the printer set-up; true when the user accepts it.
    virtual bool setupPrinter(QWidget* parent, QPrinter* printer);
};

// The installed interaction object; a plain message-box one unless a test installs its own.
FenluxUi& fenluxUi();
// Installs ui (not owned); nullptr restores the default.
void fenlux_setui(FenluxUi* ui);
