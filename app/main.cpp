// kinolite: the desktop program.

#include <QApplication>

#include "TranscodeApp.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kinolite"));
    QApplication::setDesktopFileName(QStringLiteral("kinolite"));
    CTranscodeApp theApp;
    return theApp.InitInstance();
}
