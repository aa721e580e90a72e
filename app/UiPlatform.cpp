#include "UiPlatform.h"

#include <QDesktopServices>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QUrl>

#include "res/Strings.h"

namespace {

// Caption of every message box: the program's name.
constexpr char kMessageCaption[] = "Kinolite";

// The buttons' texts of the program's language.
constexpr char kOkText[] = "确定";
constexpr char kYesText[] = "是(&Y)";
constexpr char kNoText[] = "否(&N)";

class DesktopPlatform : public UiPlatform {
  public:
    int messageBox(QWidget* parent, const QString& text, MessageButtons buttons) override {
        QMessageBox box(parent);
        box.setWindowTitle(QString::fromUtf8(kMessageCaption));
        box.setText(text);
        if (buttons == MessageButtons::Ok) {
            box.setStandardButtons(QMessageBox::Ok);
            box.button(QMessageBox::Ok)->setText(QString::fromUtf8(kOkText));
            box.exec();
            return kAnswerOk;
        }
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.button(QMessageBox::Yes)->setText(QString::fromUtf8(kYesText));
        box.button(QMessageBox::No)->setText(QString::fromUtf8(kNoText));
        box.setDefaultButton(QMessageBox::Yes);
        return box.exec() == QMessageBox::Yes ? kAnswerYes : kAnswerNo;
    }
    QString openFileName(QWidget* parent, const QString& filter) override {
        return QFileDialog::getOpenFileName(parent, QString(), QString(), filter);
    }
    QString browseFolder(QWidget* parent, const QString& preselect) override {
        return QFileDialog::getExistingDirectory(parent, QString(), preselect,
                                                 QFileDialog::ShowDirsOnly);
    }
    void openDocument(const QString& path) override {
        QDesktopServices::openUrl(QUrl::fromLocalFile(path));
    }
};

DesktopPlatform g_desktop;
UiPlatform* g_platform = &g_desktop;

}  // namespace

UiPlatform& uiPlatform() {
    return *g_platform;
}

void setUiPlatform(UiPlatform* platform) {
    g_platform = platform ? platform : &g_desktop;
}

int messageBox(QWidget* parent, int stringId, MessageButtons buttons) {
    return uiPlatform().messageBox(parent, QString::fromUtf8(loadString(stringId)), buttons);
}
