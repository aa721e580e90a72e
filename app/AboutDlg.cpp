#include "AboutDlg.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QVBoxLayout>
#include <cstdio>

#include "Controls.h"
#include "VerInfo.h"
#include "effect/CoolButton.h"
#include "res/resource.h"

namespace {

// The dialog template's texts; the statics 1049 to 1051 keep theirs when the program's
// file holds no version information.
constexpr char kTitle[] = "关于 Kinolite";
constexpr char kProductName[] = "Kinolite";
constexpr char kVersionLabel[] = "版本:";
constexpr char kVersionText[] = "Version";
constexpr char kCopyrightText[] = "Copyright";
constexpr char kCompanyText[] = "Kinolite 开发者";
constexpr char kOkCaption[] = "确定";

constexpr int kIconSize = 48;
constexpr int kNamePointSizeStep = 4;

}  // namespace

CAboutDlg::CAboutDlg(QWidget* parent, const QString& versionFile) : QDialog(parent) {
    setWindowTitle(uiText(kTitle));
    auto* icon = new QLabel(this);
    icon->setPixmap(
        QPixmap(QStringLiteral(":/icons/%1.png").arg(IDR_MAINFRAME))
            .scaled(kIconSize, kIconSize, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    auto* name = new QLabel(uiText(kProductName), this);
    QFont big = name->font();
    big.setPointSize(big.pointSize() + kNamePointSizeStep);
    big.setBold(true);
    name->setFont(big);
    m_stVersion = new QLabel(uiText(kVersionText), this);
    setControlId(m_stVersion, IDC_VERSION);
    m_stCopyright = new QLabel(uiText(kCopyrightText), this);
    setControlId(m_stCopyright, IDC_COPYRIGHT);
    m_stCompany = new QLabel(uiText(kCompanyText), this);
    setControlId(m_stCompany, IDC_COMPANY);
    m_btnOK = new CCoolButton(this);
    m_btnOK->setText(uiText(kOkCaption));
    setControlId(m_btnOK, IDOK);
    m_btnOK->setDefault(true);
    connect(m_btnOK, &QPushButton::clicked, this, &QDialog::accept);

    auto* version = new QHBoxLayout;
    version->addWidget(new QLabel(uiText(kVersionLabel), this));
    version->addWidget(m_stVersion, 1);
    auto* texts = new QVBoxLayout;
    texts->addWidget(name);
    texts->addLayout(version);
    texts->addWidget(m_stCopyright);
    texts->addWidget(m_stCompany);
    auto* top = new QHBoxLayout;
    top->addWidget(icon, 0, Qt::AlignTop);
    top->addSpacing(12);
    top->addLayout(texts, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_btnOK);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addSpacing(8);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    initDialog(versionFile);
}

void CAboutDlg::initDialog(const QString& versionFile) {
    m_btnOK->setBitmaps(IDB_OK, IDB_OK + 1, IDB_OK + 2, IDB_OK);
    m_btnOK->sizeToBitmap();

    CVerInfo info;
    const std::string path = versionFile.toStdString();
    if (!info.load(path.empty() ? nullptr : path.c_str())) return;
    char version[256];
    std::snprintf(version, sizeof version, "%s( %s )",
                  info.getProductVersion() ? info.getProductVersion() : "",
                  info.getPrivateBuild() ? info.getPrivateBuild() : "");
    m_stVersion->setText(uiText(version));
    m_stCopyright->setText(uiText(info.getLegalCopyright()));
    m_stCompany->setText(uiText(info.getCompanyName()));
}
