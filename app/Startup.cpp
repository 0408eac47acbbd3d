#include "app/Startup.h"

#include <QApplication>
#include <QDir>
#include <QIcon>

#include "app/MainWindow.h"

int RunProgram(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("picture-filter"));
    QApplication::setApplicationVersion(QStringLiteral("1.0.0.0"));
    QApplication::setDesktopFileName(QStringLiteral("picture-filter"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/picture-filter.png")));

    // Relative paths (a rescan before any folder is chosen) resolve beside the program.
    QDir::setCurrent(QCoreApplication::applicationDirPath());

    MainWindow window;
    window.show();
    app.exec();
    return 0;
}
