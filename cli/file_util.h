#pragma once
// Small file helpers of the command-line tool.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// Reads a whole file; false when it cannot be opened or read.
bool readWholeFile(const std::string& path, std::vector<uint8_t>* out);

// Writes bytes to a new file (truncating); false on any error.
bool writeWholeFile(const std::string& path, const uint8_t* data, size_t size);

// Creates a directory and its missing parents (mode 0777 before the umask). True when it
// exists afterwards; otherwise *problem says why.
bool makeDirectories(const std::string& path, std::string* problem);

// Writes all of `text` to the descriptor, going on after interruptions; false on an error.
bool writeAll(int fd, const std::string& text);

// Runs `work` in a child process whose standard output and error go to /dev/null (the
// pipeline keeps process-wide state and traces what it reads) and puts what it returned
// in *text. False when no child could be started; a child that dies leaves *text short.
bool runInWorkerProcess(const std::function<std::string()>& work, std::string* text);
