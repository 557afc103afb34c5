#include <QApplication>

#include <trelis/TrelisApp.h>

using namespace varno::trelis;

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    return RunViewer(QCoreApplication::arguments());
}
