#include "TranscodeApp.h"

#include <QApplication>
#include <QIcon>

#include "MainDlg.h"
#include "res/resource.h"

int CTranscodeApp::InitInstance() {
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/%1.png").arg(IDR_MAINFRAME)));
    CMainDlg dlg;
    dlg.exec();
    return 0;
}
