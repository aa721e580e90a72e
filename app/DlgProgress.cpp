#include "DlgProgress.h"

#include <QHBoxLayout>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "Controls.h"
#include "UiPlatform.h"
#include "res/resource.h"

namespace {

constexpr char kStopCaption[] = "停止转换";
constexpr int kAnimationPeriodMs = 10;
constexpr int kFileNameWidth = 420;

}  // namespace

CDlgProgress::CDlgProgress(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QString());
    m_pFileName = new QLineEdit(this);
    m_pFileName->setReadOnly(true);
    m_pFileName->setMinimumWidth(kFileNameWidth);
    setControlId(m_pFileName, IDC_FILENAME);
    m_pProgress = new QProgressBar(this);
    m_pProgress->setTextVisible(false);
    setControlId(m_pProgress, IDC_PROGRESS);
    m_pStop = new QPushButton(QString::fromUtf8(kStopCaption), this);
    m_pStop->setAutoDefault(false);
    m_pStop->hide();
    m_pStop->setEnabled(false);
    setControlId(m_pStop, IDCANCEL);
    connect(m_pStop, &QPushButton::clicked, this, &CDlgProgress::reject);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_pStop);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_pFileName);
    layout->addWidget(m_pProgress);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    m_animationTimer.setInterval(kAnimationPeriodMs);
    connect(&m_animationTimer, &QTimer::timeout, this, &CDlgProgress::onAnimationTimer);
}

void CDlgProgress::setStopVisible(bool show) {
    m_bShowStop = show;
    m_pStop->setVisible(show);
    m_pStop->setEnabled(show);
}

void CDlgProgress::setFileName(const QString& text) {
    m_pFileName->setText(text);
}

QString CDlgProgress::fileName() const {
    return m_pFileName->text();
}

void CDlgProgress::setRange(int32_t low, int32_t high) {
    m_pProgress->setRange(low, high);
    emit rangeChanged(low, high);
}

void CDlgProgress::setPos(int32_t position) {
    m_pProgress->setValue(position);
}

int32_t CDlgProgress::pos() const {
    return m_pProgress->value();
}

void CDlgProgress::startAnimation(int32_t max, bool repeat) {
    m_animation.start(max, repeat);
    m_pProgress->setRange(1, max);
    m_animationTimer.start();
}

void CDlgProgress::stopAnimation() {
    m_animation.stop();
    m_animationTimer.stop();
}

void CDlgProgress::onAnimationTimer() {
    int32_t position = 0;
    bool goOn = m_animation.tick(&position);
    m_pProgress->setValue(position);
    if (!goOn) m_animationTimer.stop();
}

void CDlgProgress::endDialog(int result) {
    done(result);
}

void CDlgProgress::accept() {}

void CDlgProgress::reject() {
    if (!m_bShowStop) return;
    if (messageBox(this, IDS_CONFIRM_STOP, MessageButtons::YesNo) == kAnswerYes) done(IDCANCEL);
}

void CDlgProgress::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    m_bWindowExists = true;
}

void CDlgProgress::done(int result) {
    m_bWindowExists = false;
    QDialog::done(result);
}
