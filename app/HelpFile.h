#pragma once
// Where the help file that F1 opens lies.

#include <string>

// The program's path with ".html" in place of its extension, appended when the file name
// has none ("/opt/kinolite/kinolite" gives "/opt/kinolite/kinolite.html").
std::string helpPathBeside(const std::string& programPath);

// The help file: beside the program when it is there (the build tree), otherwise the
// installed one, found from the program's directory through `docFromBin` (the relative
// path from the installed program's directory to the documentation folder, ending in '/').
std::string helpFileFor(const std::string& programPath, const std::string& docFromBin,
                        bool (*exists)(const std::string&));
