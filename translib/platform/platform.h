#pragma once
// Operating-system services the conversion library needs: the program's own path and
// directory, file removal, and the bounded diagnostic line buffer.

#include <cstdarg>
#include <cstddef>
#include <string>

namespace platform {

// Full path of the running executable ("" when it cannot be determined).
std::string programPath();

// Directory of the running program, ending in '/'. When that directory is not writable
// (an installed program in /usr/bin), a private per-user directory is used instead:
// $TMPDIR (or /tmp) + "kinolite-<uid>/", created with mode 0700. Temporary files of a
// job live here.
std::string programDir();

// The fallback directory programDir() uses when the program's own is not writable.
std::string privateTempDir();

// Removes a file; a missing file is not an error. Returns true when the file is gone.
bool removeFile(const std::string& path);

// Creates a new file exclusively (O_EXCL, mode 0600) named `stem` + "-" + six random
// characters + `extension`, so that no existing file is ever opened or replaced. Returns
// the open descriptor and the name in *path, or -1 (path cleared) when the directory does
// not take it.
int createUniqueFile(const std::string& stem, const std::string& extension, std::string* path);

// Everything of `path` up to and including its last '/'; "" when it has none.
std::string directoryPart(const std::string& path);

// Puts the calling thread behind the process's other threads (the lowest priority a
// thread may take), for work that can wait while they keep the processors busy.
void yieldThreadPriority();

// The diagnostic line: formats into the calling thread's buffer of kLogLineCapacity bytes
// and returns it. A longer line is cut, never written past the buffer.
constexpr size_t kLogLineCapacity = 4096;
const char* formatLogLine(const char* format, va_list args);

}  // namespace platform
