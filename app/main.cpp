#include "app/AppSettings.h"
#include "app/CrashDumpWriter.h"
#include "app/MainWindow.h"

#include <QApplication>
#include <QScreen>
#include <QTimer>

int main(int argc, char *argv[])
{
    // Before anything else: a crash from here on leaves a dump (see README).
    CrashDumpWriter::install();

    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    int exitCode = 0;
    {
        QApplication app(argc, argv);
        // Where the settings live: ~/.config/Quilvar/ARV Manager.conf on Linux.
        QCoreApplication::setOrganizationName(QStringLiteral("Quilvar"));
        QCoreApplication::setApplicationName(QStringLiteral("ARV Manager"));
        // --demo: start on the built-in simulated unit, already opened.
        const bool demo = app.arguments().contains(QStringLiteral("--demo"));
        {
            AppSettings settings;
            MainWindow window;
            // Room for the plot windows: most of the screen, centred.
            if (const QScreen *screen = QGuiApplication::primaryScreen()) {
                const QRect free = screen->availableGeometry();
                window.resize(free.size() * 0.9);
                window.move(free.center() - window.rect().center());
            }
            window.useSettings(&settings); // the last run's language, port and layout
            window.show();
            if (demo)
                QTimer::singleShot(0, &window, &MainWindow::openSimulatedUnit);
            exitCode = app.exec();
        } // the main window goes first, then the application object
    }
    // The crash dump writer stays installed: a crash in exit-time destructors is dumped too.
    return exitCode;
}
