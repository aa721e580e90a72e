#include "ConversionJob.h"

#include <algorithm>
#include <functional>

#include "core/job_rules.h"
#include "res/Strings.h"
#include "res/resource.h"

int statusStringId(int32_t status) {
    switch (static_cast<JobStatus>(status)) {
        case JobStatus::Waiting:
            return IDS_STATUS_WAITING;
        case JobStatus::Converting:
            return IDS_STATUS_CONVERTING;
        case JobStatus::Done:
            return IDS_STATUS_DONE;
        case JobStatus::Failed:
            return IDS_STATUS_FAILED;
    }
    return IDS_STATUS_WAITING;
}

bool isFinished(int32_t status) {
    return status == static_cast<int32_t>(JobStatus::Done) ||
           status == static_cast<int32_t>(JobStatus::Failed);
}

JobRequest requestFor(const ConversionJob& job) {
    JobRequest r;
    r.sourcePath = job.sourcePath;
    r.destDir = jobrules::destinationDirectory(job.destPath);
    r.settings = jobrules::settingsFor(job.cropLeft, job.cropRight, job.cropTop, job.cropBottom,
                                       job.width, job.height, job.bitRate);
    return r;
}

std::vector<std::string> columnTitles() {
    std::vector<std::string> titles;
    std::string all = loadString(IDS_COLUMNS);
    size_t start = 0;
    for (;;) {
        size_t comma = all.find(',', start);
        titles.push_back(all.substr(start, comma - start));
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    return titles;
}

std::vector<std::string> rowTexts(const ConversionJob& job) {
    return {loadString(statusStringId(job.status)), job.sourcePath, job.destPath, job.wavPath};
}

int JobList::append(std::unique_ptr<ConversionJob> job) {
    rows_.push_back(std::move(job));
    return count() - 1;
}

void JobList::remove(int row) {
    rows_.erase(rows_.begin() + row);
}

std::vector<std::string> JobList::destinations() const {
    std::vector<std::string> d;
    for (const auto& r : rows_) d.push_back(r->destPath);
    return d;
}

ButtonStates buttonStates(int selectedCount, int rowCount) {
    return ButtonStates{selectedCount == 1, selectedCount >= 1, rowCount >= 1};
}

std::vector<int> deletionOrder(std::vector<int> selectedRows) {
    std::sort(selectedRows.begin(), selectedRows.end(), std::greater<int>());
    return selectedRows;
}
