#pragma once
// CDlgProgress: the modal dialog shown while the job list is converted, with the current
// job's source path and a progress bar. Without its stop button it cannot be dismissed:
// Enter, Esc and the close box do nothing, and only the main window ends it.

#include <QDialog>
#include <QTimer>
#include <atomic>

#include "ProgressAnimation.h"

class QLineEdit;
class QProgressBar;
class QPushButton;

class CDlgProgress : public QDialog {
    Q_OBJECT
  public:
    explicit CDlgProgress(QWidget* parent = nullptr);

    // Shows or hides the stop button; cancel requests are honoured only with it shown.
    void setStopVisible(bool show);
    // The text of 1039: the source path of the job being converted.
    void setFileName(const QString& text);
    QString fileName() const;
    // Range and position of the bar.
    void setRange(int32_t low, int32_t high);
    void setPos(int32_t position);
    int32_t pos() const;
    // The animation mode: the bar steps through 1 .. max every 10 ms.
    void startAnimation(int32_t max, bool repeat);
    void stopAnimation();

    // The main window ends the dialog (with the result 1 after the last job).
    void endDialog(int result);
    // Whether the dialog's window exists (shown); read by the worker thread.
    bool windowExists() const { return m_bWindowExists; }

    QProgressBar* progressBar() const { return m_pProgress; }

  signals:
    // The bar's range was set.
    void rangeChanged(int32_t low, int32_t high);

  public slots:
    void accept() override;  // Enter: ignored
    void reject() override;  // Esc, the close box, the stop button

  protected:
    void showEvent(QShowEvent* event) override;
    void done(int result) override;

  private:
    void onAnimationTimer();

    QLineEdit* m_pFileName;
    QProgressBar* m_pProgress;
    QPushButton* m_pStop;
    QTimer m_animationTimer;
    ProgressAnimation m_animation;
    bool m_bShowStop = true;
    std::atomic<bool> m_bWindowExists{false};
};
