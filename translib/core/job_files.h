#pragma once
// Names of every file of a job. All paths are built as strings of any length.

#include <string>

// Suffix of the video elementary-stream file (in the program's directory) and of the
// decoded-pictures file (in the current directory); both follow the source's base name.
inline constexpr char kVideoEsSuffix[] = "videoxy_122344565fhr1.cmp";
inline constexpr char kDecodedPicturesSuffix[] = "videoxy_122344565fhr1.yuv";

// The file name of `sourcePath` after its last '/', with everything from its last '.'
// removed; a name without '.' is kept whole.
std::string baseNameOf(const std::string& sourcePath);

// Fills the job's names in the context from the source path and the destination
// directory: baseName, destDir, moduleDir, sourceDir, wavName, pcmPath, outputPath.
// `destDir` is taken as handed in (it should end in '/').
void setJobNames(const std::string& sourcePath, const std::string& destDir);

// moduleDir + baseName + "videoxy_122344565fhr1.cmp", from the context.
std::string videoEsFilePath();

// baseName + "videoxy_122344565fhr1.yuv", no directory: it lies in the current directory.
std::string decodedPicturesPath();

// Opens pcmPath for binary writing into pcmFile (unless it is open already). When the
// source's directory does not take the file (a read-only card or share), pcmPath moves to
// the private temporary directory and is opened there. False when neither works.
bool openPcmFile();
