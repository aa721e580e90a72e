#pragma once
// CDlgFile: the job settings dialog. In add mode it appends rows to the job list (and can
// stay open for the next job); in edit mode it rewrites one row.

#include <QDialog>

#include "JobForm.h"

class CCoolButton;
class CCoolEdit;
class CJobListCtrl;
class QComboBox;

class CDlgFile : public QDialog {
    Q_OBJECT
  public:
    explicit CDlgFile(QWidget* parent = nullptr);

    // The list the dialog works on (required) and, for edit mode, the row to edit.
    CJobListCtrl* m_pLstCtrl = nullptr;
    int m_nEditIndex = -1;

    // Initialises the controls from the mode and shows the dialog modally.
    int doModal();

  private:
    void initDialog();
    // The values of the controls, and back.
    JobForm takeValues() const;
    void showValues(const JobForm& form);

    void onBrowseSource();
    void onBrowseFolder();
    void onOK();

    CCoolEdit* m_edSource;
    CCoolEdit* m_edDestination;
    CCoolEdit* m_edWavName;
    CCoolEdit* m_edCrop[4];  // left, right, top, bottom
    QComboBox* m_cbBitRate;
    QComboBox* m_cbSize;
    CCoolButton* m_btnOK;
    CCoolButton* m_btnCancel;
    CCoolButton* m_btnBrowseSource;
    CCoolButton* m_btnBrowseFolder;
};
