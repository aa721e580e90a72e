#pragma once
// CJobListCtrl: the job list of the main window, in report view with grid lines and
// full-row selection. Each row owns its ConversionJob record (in jobs()); the view shows
// the row texts of sub-items that have a column.

#include <QTableWidget>
#include <memory>
#include <vector>

#include "ConversionJob.h"

class CJobListCtrl : public QTableWidget {
    Q_OBJECT
  public:
    explicit CJobListCtrl(QWidget* parent = nullptr);

    // The records, in row order. The worker reads them while the list cannot change.
    JobList& jobs() { return m_jobs; }
    int itemCount() const { return m_jobs.count(); }
    ConversionJob& jobAt(int row) { return m_jobs.at(row); }

    // Appends a row for `job` and shows its texts; returns the row.
    int insertJob(std::unique_ptr<ConversionJob> job);
    // Shows the texts of a row's record again.
    void updateRow(int row);
    // Sets the text of one sub-item; a sub-item without a column is not shown.
    void setItemText(int row, int subItem, const QString& text);
    QString itemText(int row, int subItem) const;
    // Removes a row and frees its record.
    void deleteItem(int row);

    // The selected rows in ascending order.
    std::vector<int> selectedRows() const;
    int selectedCount() const { return static_cast<int>(selectedRows().size()); }

  signals:
    // Rows were added, removed or rewritten, or the selection changed.
    void listChanged();

  private:
    JobList m_jobs;
};
