#include <QApplication>

#include <trelis/TrelisApp.h>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    return RunViewer(QCoreApplication::arguments());
}
