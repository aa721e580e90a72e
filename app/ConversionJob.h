#pragma once
// One row of the job list and the list of rows, with the rules the main window follows:
// the status texts, the column titles, which buttons are enabled, and the order in which
// selected rows are deleted.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "pipeline/job_runner.h"

// A conversion job as the job settings dialog fills it in.
struct ConversionJob {
    int32_t status = 0;  // JobStatus: 0 waiting, 1 converting, 2 done, 3 failed
    std::string sourcePath;
    std::string destPath;  // the destination the user chose
    std::string wavPath;   // destPath + ".wav", shown only
    int16_t cropLeft = 0, cropRight = 0, cropTop = 0, cropBottom = 0;
    uint16_t width = 0, height = 0;
    uint32_t bitRate = 0;
};

// String id of the text shown for a status (103 to 106).
int statusStringId(int32_t status);

// Done and failed rows are never converted again.
bool isFinished(int32_t status);

// What the worker hands to the job runner for a row: the destination's directory and the
// settings built from the row's margins, size and bit rate.
JobRequest requestFor(const ConversionJob& job);

// The list's column titles: string 102 split at every comma.
std::vector<std::string> columnTitles();

// Texts of sub-items 0 to 3 of a row: status text, source, destination, WAV name.
std::vector<std::string> rowTexts(const ConversionJob& job);

// The rows of the job list; each row owns its record.
class JobList {
  public:
    int count() const { return static_cast<int>(rows_.size()); }
    ConversionJob& at(int row) { return *rows_[static_cast<size_t>(row)]; }
    const ConversionJob& at(int row) const { return *rows_[static_cast<size_t>(row)]; }
    // Appends a row; returns its index.
    int append(std::unique_ptr<ConversionJob> job);
    void remove(int row);
    // destPath of every row, in row order.
    std::vector<std::string> destinations() const;

  private:
    std::vector<std::unique_ptr<ConversionJob>> rows_;
};

// Which of Edit, Delete and Convert are enabled.
struct ButtonStates {
    bool edit, remove, convert;
    bool operator==(const ButtonStates& o) const {
        return edit == o.edit && remove == o.remove && convert == o.convert;
    }
};
ButtonStates buttonStates(int selectedCount, int rowCount);

// The selected rows in the order they are deleted: from the highest index down, so that the
// indexes still to delete stay valid.
std::vector<int> deletionOrder(std::vector<int> selectedRows);
