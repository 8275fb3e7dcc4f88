#include "app/MainWindow.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    // The crash dump writer is installed here, before anything else, once it exists.

    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    int exitCode = 0;
    {
        QApplication app(argc, argv);
        {
            MainWindow window;
            window.show();
            exitCode = app.exec();
        } // the main window goes first, then the application object
    }
    // The crash dump writer is removed here.
    return exitCode;
}
