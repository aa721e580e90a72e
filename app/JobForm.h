#pragma once
// The logic of the job settings dialog without its window: the values its controls hold,
// how a row fills them in edit mode, the names derived when a source or a folder is
// chosen, the checks of OK in their order, and the record OK writes.

#include <string>
#include <vector>

#include "ConversionJob.h"

struct JobForm {
    std::string source;
    std::string destination;
    std::string wavName;
    std::string cropLeft, cropRight, cropTop, cropBottom;  // the crop edits' texts
    int bitRateIndex = 0;                                  // entry of jobrules::kBitRates
    int sizeIndex = 0;                                     // entry of jobrules::kTargetSizes

    // Edit mode: the values of a row. The selectors show the entries whose texts equal
    // the row's bit rate and "width*height"; entry 0 when none does.
    static JobForm ofJob(const ConversionJob& job);

    // A source was chosen (and exists): the destination goes beside it.
    void sourceChosen(const std::string& path);
    // A destination folder was chosen.
    void folderChosen(const std::string& folder);
    // "Ещё?" answered Yes: the names are cleared, crops and selections stay.
    void clearNames();

    // The first check of OK that fails, as its message id (109, 112, 117, 118, 120), or 0.
    // `destinations` holds every row's destination; `editIndex` is the edited row or -1.
    int check(const std::vector<std::string>& destinations, int editIndex) const;

    // The record OK writes: status waiting, the crops, bit rate and size of the selected
    // entries, the three names.
    void fillJob(ConversionJob* job) const;
};

// The folder the folder browser opens at, from the last folder chosen: without its trailing
// '/' (the root stays "/"), and only when it exists; "" for none.
std::string folderToPreselect(const std::string& lastFolder,
                              bool (*isDirectory)(const std::string&));

// The source chooser's filters, "3GP Files (*.3gp)|*.3gp|...||", in the form a Qt file
// dialog takes: "3GP Files (*.3gp);;...". Patterns are separated by spaces, and "*.*"
// becomes "*", since Linux file names need not have an extension.
std::string fileDialogFilter(const std::string& filterPairs);

// The filters of the source chooser.
inline constexpr char kSourceFilter[] =
    "3GP Files (*.3gp)|*.3gp|MPEG4 Files (*.mp4)|*.mp4|All Files (*.*)|*.*||";
