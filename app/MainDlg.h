#pragma once
// CMainDlg: the main window. It shows the job list with the buttons to add, edit, delete
// and convert jobs and to open the About box, and runs a conversion: one worker thread
// walks the list while the progress dialog shows how far the running job has come.

#include <QDialog>
#include <QTimer>
#include <memory>
#include <thread>

#include "ConversionWorker.h"
#include "DlgProgress.h"
#include "pipeline/job_runner.h"

class CCoolButton;
class CJobListCtrl;
class QMenu;
class QPushButton;

class CMainDlg : public QDialog {
    Q_OBJECT
  public:
    explicit CMainDlg(QWidget* parent = nullptr);
    ~CMainDlg() override;

    CJobListCtrl* listCtrl() const { return m_lstCtrl; }
    CDlgProgress& progressDialog() { return m_dlgProgress; }
    // The stages a conversion runs (the pipeline's unless a test gives others).
    void setStages(const JobStages& stages) { m_stages = stages; }
    // The file the About box reads its version information from ("": the program's own).
    void setVersionFile(const QString& path) { m_versionFile = path; }

  public slots:
    void reject() override;

  protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    class WorkerBridge;

    void initDialog();
    // The window menu: the About entry (string 101), as the context menu offers it.
    QMenu* createWindowMenu();
    void onSysCommand(int command);
    void onAbout();
    void onAdd();
    void onEdit();
    void onDelete();
    void onListChanged();
    void onConvert();
    void onTimer();
    void onConversionEnded();
    void onHelp();

    CJobListCtrl* m_lstCtrl;
    CCoolButton* m_btnAdd;
    CCoolButton* m_btnEdit;
    CCoolButton* m_btnDelete;
    QPushButton* m_btnPreview;
    CCoolButton* m_btnConvert;
    CCoolButton* m_btnAbout;
    CDlgProgress m_dlgProgress;
    QTimer m_timer;  // timer 1: copies the running stage's counter into the progress bar
    WorkerShared m_shared;
    std::unique_ptr<WorkerBridge> m_bridge;
    std::thread m_worker;
    JobStages m_stages;
    QString m_versionFile;
    bool m_bConverting = false;
};
