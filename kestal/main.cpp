// kestal: the station terminal.
#include <kestal/dialogs/KestalApp.h>

#include <qtsupport/OstrelQtUi.h>
#include <qtsupport/QtUserInteraction.h>

#include <QApplication>

using namespace varno::kestal;

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    varno::qtsupport::DefaultQtDialogs dialogs;
    QCoreApplication::setOrganizationName(QStringLiteral("varno"));
    QCoreApplication::setApplicationName(QStringLiteral("kestal"));
    varno::qtsupport::installOstrelQtUi();

    QStringList arguments = QCoreApplication::arguments();
    arguments.removeFirst();
    CKestalApp kestalApp(QCoreApplication::applicationFilePath());
    if (!kestalApp.InitInstance(arguments))
        return 0;
    return app.exec();
}
