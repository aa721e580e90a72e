#include "JobForm.h"

#include "core/job_rules.h"

namespace {

int indexOr0(int index) {
    return index < 0 ? 0 : index;
}

std::string cropText(int16_t value) {
    return std::to_string(value);
}

}  // namespace

JobForm JobForm::ofJob(const ConversionJob& job) {
    JobForm f;
    f.source = job.sourcePath;
    f.destination = job.destPath;
    f.wavName = job.wavPath;
    f.cropLeft = cropText(job.cropLeft);
    f.cropRight = cropText(job.cropRight);
    f.cropTop = cropText(job.cropTop);
    f.cropBottom = cropText(job.cropBottom);
    f.bitRateIndex = indexOr0(jobrules::bitRateIndexOfText(std::to_string(job.bitRate)));
    f.sizeIndex = indexOr0(
        jobrules::sizeIndexOfText(std::to_string(job.width) + "*" + std::to_string(job.height)));
    return f;
}

void JobForm::sourceChosen(const std::string& path) {
    source = path;
    destination = jobrules::destinationBesideSource(path);
    wavName = jobrules::wavPathFor(destination);
}

void JobForm::folderChosen(const std::string& folder) {
    destination = jobrules::destinationInFolder(folder, source);
    if (!source.empty()) wavName = jobrules::wavPathFor(destination);
}

void JobForm::clearNames() {
    source.clear();
    destination.clear();
    wavName.clear();
}

int JobForm::check(const std::vector<std::string>& destinations, int editIndex) const {
    jobrules::JobFields f;
    f.source = source;
    f.destination = destination;
    f.cropLeft = jobrules::cropValueOfText(cropLeft);
    f.cropRight = jobrules::cropValueOfText(cropRight);
    f.cropTop = jobrules::cropValueOfText(cropTop);
    f.cropBottom = jobrules::cropValueOfText(cropBottom);
    return jobrules::checkJobFields(f, destinations, editIndex);
}

void JobForm::fillJob(ConversionJob* job) const {
    *job = ConversionJob();
    job->status = static_cast<int32_t>(JobStatus::Waiting);
    job->cropLeft = static_cast<int16_t>(jobrules::cropValueOfText(cropLeft));
    job->cropRight = static_cast<int16_t>(jobrules::cropValueOfText(cropRight));
    job->cropTop = static_cast<int16_t>(jobrules::cropValueOfText(cropTop));
    job->cropBottom = static_cast<int16_t>(jobrules::cropValueOfText(cropBottom));
    job->bitRate = jobrules::kBitRates[bitRateIndex];
    job->width = jobrules::kTargetSizes[sizeIndex].width;
    job->height = jobrules::kTargetSizes[sizeIndex].height;
    job->sourcePath = source;
    job->destPath = destination;
    job->wavPath = wavName;
}

std::string folderToPreselect(const std::string& lastFolder,
                              bool (*isDirectory)(const std::string&)) {
    std::string folder = lastFolder;
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    if (folder.empty() || !isDirectory(folder)) return std::string();
    return folder;
}

std::string fileDialogFilter(const std::string& filterPairs) {
    // Pairs of description and pattern, separated by '|', ending in "||".
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        size_t bar = filterPairs.find('|', start);
        if (bar == std::string::npos) {
            parts.push_back(filterPairs.substr(start));
            break;
        }
        parts.push_back(filterPairs.substr(start, bar - start));
        start = bar + 1;
    }
    std::string out;
    for (size_t i = 0; i + 1 < parts.size(); i += 2) {
        if (parts[i].empty()) break;
        std::string description = parts[i];
        std::string pattern = parts[i + 1] == "*.*" ? "*" : parts[i + 1];
        for (char& ch : pattern)
            if (ch == ';') ch = ' ';
        size_t open = description.find(" (");
        if (open != std::string::npos) description.resize(open);
        if (!out.empty()) out += ";;";
        out += description + " (" + pattern + ")";
    }
    return out;
}
