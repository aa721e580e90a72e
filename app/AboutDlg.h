#pragma once
// CAboutDlg: the About box, with the product's icon and name and the version information
// read from the program's own file at run time.

#include <QDialog>
#include <QString>

class QLabel;
class CCoolButton;

class CAboutDlg : public QDialog {
    Q_OBJECT
  public:
    // `versionFile`: the file whose version information is shown; "" for the program's own.
    explicit CAboutDlg(QWidget* parent = nullptr, const QString& versionFile = QString());

  private:
    void initDialog(const QString& versionFile);

    QLabel* m_stVersion;
    QLabel* m_stCopyright;
    QLabel* m_stCompany;
    CCoolButton* m_btnOK;
};
