#include "DlgFile.h"

#include <QComboBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>
#include <memory>
#include <new>

#include "Controls.h"
#include "JobListCtrl.h"
#include "UiPlatform.h"
#include "core/job_rules.h"
#include "effect/CoolButton.h"
#include "effect/CoolEdit.h"
#include "res/resource.h"

namespace {

// The dialog template's texts.
constexpr char kTitle[] = "设置需要转换的文件";
constexpr char kOkCaption[] = "确定";
constexpr char kCancelCaption[] = "取消";
constexpr char kBrowseCaption[] = "浏览";
constexpr char kSourceGroup[] = "源文件";
constexpr char kDestinationGroup[] = "目的文件";
constexpr char kCropGroup[] = "裁剪";
constexpr char kMovieLabel[] = "电影文件:";
constexpr char kOutputLabel[] = "输出文件:";
constexpr char kHorizontalLabel[] = "水平方向[0-60象素]";
constexpr char kVerticalLabel[] = "垂直方向[0-40象素]";
constexpr char kLeftLabel[] = "左:";
constexpr char kRightLabel[] = "右:";
constexpr char kTopLabel[] = "上:";
constexpr char kBottomLabel[] = "下:";
constexpr char kBitRateLabel[] = "位率[位/秒]:";
constexpr char kSizeLabel[] = "大小[象素]:";

constexpr int kCropDigits = 2;
constexpr int kCropEditWidth = 40;
constexpr int kPathEditWidth = 360;

std::string utf8(const QString& s) {
    return s.toUtf8().toStdString();
}

// The folder chosen last in the folder browser, kept for the whole process.
QString g_lastFolder;

bool isDirectory(const std::string& path) {
    return QFileInfo(QString::fromStdString(path)).isDir();
}

CCoolButton* skinnedButton(QWidget* parent, const char* caption, int id, int firstFace,
                           int disabledFace) {
    auto* b = new CCoolButton(parent);
    b->setText(uiText(caption));
    setControlId(b, id);
    b->setBitmaps(firstFace, firstFace + 1, firstFace + 2, disabledFace);
    b->sizeToBitmap();
    return b;
}

CCoolEdit* skinnedEdit(QWidget* parent, int id, bool readOnly) {
    auto* e = new CCoolEdit(parent);
    setControlId(e, id);
    e->setReadOnly(readOnly);
    return e;
}

}  // namespace

CDlgFile::CDlgFile(QWidget* parent) : QDialog(parent) {
    setWindowTitle(uiText(kTitle));

    m_edSource = skinnedEdit(this, IDC_SOURCE, true);
    m_edSource->setMinimumWidth(kPathEditWidth);
    m_edDestination = skinnedEdit(this, IDC_DESTINATION, true);
    m_edDestination->setMinimumWidth(kPathEditWidth);
    m_edWavName = skinnedEdit(this, IDC_WAVNAME, true);
    m_edWavName->hide();
    const int cropIds[4] = {IDC_CROP_LEFT, IDC_CROP_RIGHT, IDC_CROP_TOP, IDC_CROP_BOTTOM};
    auto* digits = new QRegularExpressionValidator(QRegularExpression("[0-9]*"), this);
    for (int i = 0; i < 4; ++i) {
        m_edCrop[i] = skinnedEdit(this, cropIds[i], false);
        m_edCrop[i]->setValidator(digits);
        m_edCrop[i]->setFixedWidth(kCropEditWidth);
    }
    m_cbBitRate = new QComboBox(this);
    setControlId(m_cbBitRate, IDC_BITRATE);
    for (uint32_t rate : jobrules::kBitRates) m_cbBitRate->addItem(QString::number(rate));
    m_cbSize = new QComboBox(this);
    setControlId(m_cbSize, IDC_SIZE);
    for (const jobrules::TargetSize& s : jobrules::kTargetSizes)
        m_cbSize->addItem(uiText(s.selectorText));

    m_btnOK = skinnedButton(this, kOkCaption, IDOK, IDB_OK, IDB_OK);
    m_btnOK->setDefault(true);
    m_btnCancel = skinnedButton(this, kCancelCaption, IDCANCEL, IDB_CANCEL, IDB_CANCEL);
    m_btnBrowseSource =
        skinnedButton(this, kBrowseCaption, IDC_BROWSE_SOURCE, IDB_BROWSE, IDB_BROWSE);
    m_btnBrowseFolder =
        skinnedButton(this, kBrowseCaption, IDC_BROWSE_FOLDER, IDB_BROWSE, IDB_BROWSE);

    auto* source = new QGroupBox(uiText(kSourceGroup), this);
    auto* sourceRow = new QHBoxLayout(source);
    sourceRow->addWidget(new QLabel(uiText(kMovieLabel), source));
    sourceRow->addWidget(m_edSource, 1);
    sourceRow->addWidget(m_btnBrowseSource);

    auto* destination = new QGroupBox(uiText(kDestinationGroup), this);
    auto* destinationRow = new QHBoxLayout(destination);
    destinationRow->addWidget(new QLabel(uiText(kOutputLabel), destination));
    destinationRow->addWidget(m_edDestination, 1);
    destinationRow->addWidget(m_edWavName);
    destinationRow->addWidget(m_btnBrowseFolder);

    auto* crop = new QGroupBox(uiText(kCropGroup), this);
    auto* cropGrid = new QGridLayout(crop);
    const char* cropLabels[4] = {kLeftLabel, kRightLabel, kTopLabel, kBottomLabel};
    cropGrid->addWidget(new QLabel(uiText(kHorizontalLabel), crop), 0, 0);
    cropGrid->addWidget(new QLabel(uiText(kVerticalLabel), crop), 1, 0);
    for (int i = 0; i < 4; ++i) {
        int row = i / 2, column = 1 + (i % 2) * 2;
        cropGrid->addWidget(new QLabel(uiText(cropLabels[i]), crop), row, column, Qt::AlignRight);
        cropGrid->addWidget(m_edCrop[i], row, column + 1);
    }
    cropGrid->setColumnStretch(5, 1);

    auto* selectors = new QHBoxLayout;
    selectors->addWidget(new QLabel(uiText(kBitRateLabel), this));
    selectors->addWidget(m_cbBitRate);
    selectors->addSpacing(24);
    selectors->addWidget(new QLabel(uiText(kSizeLabel), this));
    selectors->addWidget(m_cbSize);
    selectors->addStretch();

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_btnOK);
    buttons->addWidget(m_btnCancel);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(source);
    layout->addWidget(destination);
    layout->addWidget(crop);
    layout->addLayout(selectors);
    layout->addSpacing(8);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(m_btnBrowseSource, &QPushButton::clicked, this, &CDlgFile::onBrowseSource);
    connect(m_btnBrowseFolder, &QPushButton::clicked, this, &CDlgFile::onBrowseFolder);
    connect(m_btnOK, &QPushButton::clicked, this, &CDlgFile::onOK);
    connect(m_btnCancel, &QPushButton::clicked, this, &CDlgFile::reject);
}

int CDlgFile::doModal() {
    initDialog();
    return exec();
}

void CDlgFile::initDialog() {
    for (CCoolEdit* e : m_edCrop) e->setMaxLength(kCropDigits);
    m_cbBitRate->setCurrentIndex(0);
    m_cbSize->setCurrentIndex(0);
    if (m_nEditIndex < 0) return;
    showValues(JobForm::ofJob(m_pLstCtrl->jobAt(m_nEditIndex)));
}

JobForm CDlgFile::takeValues() const {
    JobForm f;
    f.source = utf8(m_edSource->text());
    f.destination = utf8(m_edDestination->text());
    f.wavName = utf8(m_edWavName->text());
    f.cropLeft = utf8(m_edCrop[0]->text());
    f.cropRight = utf8(m_edCrop[1]->text());
    f.cropTop = utf8(m_edCrop[2]->text());
    f.cropBottom = utf8(m_edCrop[3]->text());
    f.bitRateIndex = m_cbBitRate->currentIndex();
    f.sizeIndex = m_cbSize->currentIndex();
    return f;
}

void CDlgFile::showValues(const JobForm& f) {
    m_edSource->setText(QString::fromStdString(f.source));
    m_edDestination->setText(QString::fromStdString(f.destination));
    m_edWavName->setText(QString::fromStdString(f.wavName));
    m_edCrop[0]->setText(QString::fromStdString(f.cropLeft));
    m_edCrop[1]->setText(QString::fromStdString(f.cropRight));
    m_edCrop[2]->setText(QString::fromStdString(f.cropTop));
    m_edCrop[3]->setText(QString::fromStdString(f.cropBottom));
    m_cbBitRate->setCurrentIndex(f.bitRateIndex);
    m_cbSize->setCurrentIndex(f.sizeIndex);
}

void CDlgFile::onBrowseSource() {
    JobForm f = takeValues();
    QString path =
        uiPlatform().openFileName(this, QString::fromStdString(fileDialogFilter(kSourceFilter)));
    if (path.isEmpty()) return;
    if (!QFileInfo::exists(path)) {
        messageBox(this, IDS_SOURCE_MISSING, MessageButtons::Ok);
        return;
    }
    f.sourceChosen(utf8(path));
    showValues(f);
}

void CDlgFile::onBrowseFolder() {
    JobForm f = takeValues();
    std::string preselect = folderToPreselect(utf8(g_lastFolder), isDirectory);
    QString folder = uiPlatform().browseFolder(this, QString::fromStdString(preselect));
    if (folder.isEmpty()) return;
    g_lastFolder = folder;
    f.folderChosen(utf8(folder));
    showValues(f);
}

void CDlgFile::onOK() {
    JobForm f = takeValues();
    int message = f.check(m_pLstCtrl->jobs().destinations(), m_nEditIndex);
    if (message != 0) {
        messageBox(this, message, MessageButtons::Ok);
        return;
    }
    if (QFileInfo::exists(QString::fromStdString(f.destination)) &&
        messageBox(this, IDS_OVERWRITE, MessageButtons::YesNo) != kAnswerYes)
        return;

    if (m_nEditIndex >= 0) {
        f.fillJob(&m_pLstCtrl->jobAt(m_nEditIndex));
        m_pLstCtrl->updateRow(m_nEditIndex);
        accept();
        return;
    }
    std::unique_ptr<ConversionJob> job(new (std::nothrow) ConversionJob);
    if (!job) return;
    f.fillJob(job.get());
    m_pLstCtrl->insertJob(std::move(job));
    if (messageBox(this, IDS_ANOTHER_JOB, MessageButtons::YesNo) != kAnswerYes) {
        accept();
        return;
    }
    f.clearNames();
    showValues(f);
    onBrowseSource();
}
