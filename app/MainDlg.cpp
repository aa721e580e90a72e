#include "MainDlg.h"

#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIcon>
#include <QMenu>
#include <QShortcut>
#include <QStyle>
#include <QVBoxLayout>
#include <system_error>

#include "AboutDlg.h"
#include "Controls.h"
#include "DebugTrace.h"
#include "DlgFile.h"
#include "HelpFile.h"
#include "JobListCtrl.h"
#include "ProgressMeter.h"
#include "UiPlatform.h"
#include "core/job_rules.h"
#include "effect/CoolButton.h"
#include "platform/platform.h"
#include "res/Strings.h"
#include "res/resource.h"

#ifndef KINOLITE_DOC_FROM_BIN
#define KINOLITE_DOC_FROM_BIN "../share/doc/kinolite/"
#endif

namespace {

// The dialog template's texts.
constexpr char kTitle[] = "Kinolite";
constexpr char kAddCaption[] = "添加";
constexpr char kEditCaption[] = "编辑";
constexpr char kDeleteCaption[] = "删除";
constexpr char kPreviewCaption[] = "预览";
constexpr char kConvertCaption[] = "转换";
constexpr char kAboutCaption[] = "关于";

constexpr int kTimerPeriodMs = 20;
constexpr int kListMinimumHeight = 320;

bool fileExists(const std::string& path) {
    return QFileInfo::exists(QString::fromStdString(path));
}

CCoolButton* skinnedButton(QWidget* parent, const char* caption, int id, int firstFace, int tip) {
    auto* b = new CCoolButton(parent);
    b->setText(uiText(caption));
    setControlId(b, id);
    b->setBitmaps(firstFace, firstFace + 1, firstFace + 2, firstFace + 3);
    b->sizeToBitmap();
    if (tip) b->setToolTip(uiText(loadString(tip)));
    return b;
}

}  // namespace

// What the worker thread asks of the window, as queued calls onto the user-interface
// thread; only the drift question waits for its answer.
class CMainDlg::WorkerBridge : public WorkerHost {
  public:
    explicit WorkerBridge(CMainDlg* dlg) : dlg_(dlg) {}

    void showFileName(const std::string& sourcePath) override {
        QString text = QString::fromStdString(sourcePath);
        post([d = dlg_, text] { d->m_dlgProgress.setFileName(text); });
    }
    void showStatus(int row, JobStatus status) override {
        QString text = uiText(loadString(statusStringId(static_cast<int32_t>(status))));
        post([d = dlg_, row, text] { d->m_lstCtrl->setItemText(row, 0, text); });
    }
    void setProgressRange(int32_t rangeMax) override {
        post([d = dlg_, rangeMax] { d->m_dlgProgress.setRange(1, rangeMax); });
    }
    bool askToGoOn() override {
        bool goOn = false;
        QMetaObject::invokeMethod(
            dlg_,
            [d = dlg_, &goOn] {
                goOn = uiPlatform().messageBox(&d->m_dlgProgress, uiText(jobrules::kDriftQuestion),
                                               MessageButtons::YesNo) == kAnswerYes;
            },
            Qt::BlockingQueuedConnection);
        return goOn;
    }
    bool progressWindowExists() override { return dlg_->m_dlgProgress.windowExists(); }
    void postConversionEnded() override {
        post([d = dlg_] { d->onConversionEnded(); });
    }

  private:
    template <class F>
    void post(F&& call) {
        QMetaObject::invokeMethod(dlg_, std::forward<F>(call), Qt::QueuedConnection);
    }
    CMainDlg* dlg_;
};

CMainDlg::CMainDlg(QWidget* parent)
    : QDialog(parent),
      m_dlgProgress(this),
      m_bridge(std::make_unique<WorkerBridge>(this)),
      m_stages(pipelineStages()) {
    setWindowTitle(uiText(kTitle));
    setWindowFlags(windowFlags() | Qt::WindowMinimizeButtonHint);
    m_lstCtrl = new CJobListCtrl(this);
    // Wide enough for its columns, with room for a vertical scroll bar.
    m_lstCtrl->setMinimumSize(m_lstCtrl->horizontalHeader()->length() +
                                  2 * m_lstCtrl->frameWidth() +
                                  m_lstCtrl->style()->pixelMetric(QStyle::PM_ScrollBarExtent),
                              kListMinimumHeight);
    m_btnAdd = skinnedButton(this, kAddCaption, IDC_ADD, IDB_ADD, IDS_TIP_ADD);
    m_btnEdit = skinnedButton(this, kEditCaption, IDC_EDIT, IDB_EDIT, IDS_TIP_EDIT);
    m_btnDelete = skinnedButton(this, kDeleteCaption, IDC_DELETE, IDB_DELETE, IDS_TIP_DELETE);
    m_btnPreview = new QPushButton(uiText(kPreviewCaption), this);
    setControlId(m_btnPreview, IDC_PREVIEW);
    m_btnPreview->hide();
    m_btnPreview->setEnabled(false);
    m_btnConvert = skinnedButton(this, kConvertCaption, IDC_CONVERT, IDB_CONVERT, IDS_TIP_CONVERT);
    m_btnAbout = skinnedButton(this, kAboutCaption, IDC_ABOUT, IDB_ABOUT, 0);
    m_btnEdit->setEnabled(false);
    m_btnDelete->setEnabled(false);
    m_btnConvert->setEnabled(false);

    auto* buttons = new QVBoxLayout;
    buttons->addWidget(m_btnAdd, 0, Qt::AlignHCenter);
    buttons->addWidget(m_btnEdit, 0, Qt::AlignHCenter);
    buttons->addWidget(m_btnDelete, 0, Qt::AlignHCenter);
    buttons->addWidget(m_btnPreview, 0, Qt::AlignHCenter);
    buttons->addStretch();
    buttons->addWidget(m_btnConvert, 0, Qt::AlignHCenter);
    buttons->addStretch();
    buttons->addWidget(m_btnAbout, 0, Qt::AlignHCenter);
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(m_lstCtrl, 1);
    layout->addLayout(buttons);

    connect(m_btnAdd, &QPushButton::clicked, this, &CMainDlg::onAdd);
    connect(m_btnEdit, &QPushButton::clicked, this, &CMainDlg::onEdit);
    connect(m_btnDelete, &QPushButton::clicked, this, &CMainDlg::onDelete);
    connect(m_btnConvert, &QPushButton::clicked, this, &CMainDlg::onConvert);
    connect(m_btnAbout, &QPushButton::clicked, this, &CMainDlg::onAbout);
    connect(m_lstCtrl, &CJobListCtrl::listChanged, this, &CMainDlg::onListChanged);
    connect(&m_timer, &QTimer::timeout, this, &CMainDlg::onTimer);
    auto* help = new QShortcut(QKeySequence(Qt::Key_F1), this);
    help->setContext(Qt::WindowShortcut);
    connect(help, &QShortcut::activated, this, &CMainDlg::onHelp);

    initDialog();
}

CMainDlg::~CMainDlg() {
    if (m_worker.joinable()) {
        m_shared.stopRequested = 1;
        m_worker.join();
    }
}

void CMainDlg::initDialog() {
    QIcon icon(QStringLiteral(":/icons/%1.png").arg(IDR_MAINFRAME));
    setWindowIcon(icon);
}

QMenu* CMainDlg::createWindowMenu() {
    auto* menu = new QMenu(this);
    menu->addAction(uiText(loadString(IDS_ABOUTBOX)), this, [this] { onSysCommand(IDM_ABOUTBOX); });
    return menu;
}

void CMainDlg::contextMenuEvent(QContextMenuEvent* event) {
    QMenu* menu = createWindowMenu();
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(event->globalPos());
}

void CMainDlg::onSysCommand(int command) {
    if (command == IDM_ABOUTBOX) onAbout();
}

void CMainDlg::onAbout() {
    CAboutDlg dlg(this, m_versionFile);
    dlg.exec();
}

void CMainDlg::onAdd() {
    CDlgFile dlg(this);
    dlg.m_pLstCtrl = m_lstCtrl;
    dlg.doModal();
}

void CMainDlg::onEdit() {
    std::vector<int> selected = m_lstCtrl->selectedRows();
    if (selected.size() != 1) return;
    CDlgFile dlg(this);
    dlg.m_pLstCtrl = m_lstCtrl;
    dlg.m_nEditIndex = selected[0];
    dlg.doModal();
    m_lstCtrl->setCurrentCell(selected[0], 0, QItemSelectionModel::NoUpdate);
}

void CMainDlg::onDelete() {
    if (messageBox(this, IDS_CONFIRM_DELETE, MessageButtons::YesNo) != kAnswerYes) return;
    for (int row : deletionOrder(m_lstCtrl->selectedRows())) m_lstCtrl->deleteItem(row);
}

void CMainDlg::onListChanged() {
    ButtonStates s = buttonStates(m_lstCtrl->selectedCount(), m_lstCtrl->itemCount());
    m_btnEdit->setEnabled(s.edit);
    m_btnDelete->setEnabled(s.remove);
    m_btnConvert->setEnabled(s.convert);
}

void CMainDlg::onConvert() {
    if (m_bConverting) return;
    m_shared.stopRequested = 0;
    m_shared.countersActive = 0;
    m_timer.start(kTimerPeriodMs);
    m_dlgProgress.setStopVisible(false);
    m_dlgProgress.stopAnimation();
    try {
        m_worker = std::thread(runConversionPasses, std::ref(m_lstCtrl->jobs()), std::ref(m_shared),
                               std::ref(*m_bridge), m_stages);
    } catch (const std::system_error&) {
        m_timer.stop();
        return;
    }
    m_bConverting = true;
    if (m_dlgProgress.exec() == IDCANCEL) m_shared.stopRequested = 1;
    m_timer.stop();
    m_shared.countersActive = 0;
    // The worker has ended its last pass (or, after a stop, ends with its current job).
    m_worker.join();
    m_bConverting = false;
}

void CMainDlg::onTimer() {
    int32_t position = 0;
    if (progressPosition(
            m_shared.countersActive != 0, countersOf(m_shared.progress),
            [](const char* name, int32_t value) { debugTrace("%s Counter %d \r\n", name, value); },
            &position))
        m_dlgProgress.setPos(position);
}

void CMainDlg::onConversionEnded() {
    m_timer.stop();
    m_shared.countersActive = 0;
    m_dlgProgress.endDialog(1);
}

void CMainDlg::onHelp() {
    std::string path = helpFileFor(platform::programPath(), KINOLITE_DOC_FROM_BIN, fileExists);
    uiPlatform().openDocument(QString::fromStdString(path));
}

void CMainDlg::reject() {
    if (m_bConverting) return;
    QDialog::reject();
}

void CMainDlg::closeEvent(QCloseEvent* event) {
    if (m_bConverting) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}
