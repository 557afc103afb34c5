#include <QApplication>

#include <qtsupport/QtUserInteraction.h>
#include <trelis/TrelisApp.h>

using namespace varno::trelis;

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    varno::qtsupport::DefaultQtDialogs dialogs;
    return RunViewer(QCoreApplication::arguments());
}
