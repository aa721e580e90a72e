#pragma once
// Names of every file of a job. All paths are built as strings of any length.
//
// A job's temporary files are created exclusively under names no other job or file has:
// the fixed name of each file with a unique tag before its extension ("clip-Xq3b9Z.pcm").
// The context holds the name of each file once the job has created it and an empty name
// before, so that a job only ever removes files it made.

#include <cstdio>
#include <string>

// Stem and extension of the video elementary-stream file (in the program's directory) and
// of the decoded-pictures file (in the current directory); both follow the source's base
// name.
inline constexpr char kVideoEsStem[] = "videoxy_122344565fhr1";
inline constexpr char kVideoEsExtension[] = ".cmp";
inline constexpr char kDecodedPicturesStem[] = "videoxy_122344565fhr1";
inline constexpr char kDecodedPicturesExtension[] = ".yuv";
inline constexpr char kPcmExtension[] = ".pcm";
// The handset movie file: baseName + "_new.mp4"; while it is written, baseName + "_new" +
// tag + ".mp4".
inline constexpr char kOutputSuffix[] = "_new.mp4";
inline constexpr char kOutputStem[] = "_new";
inline constexpr char kOutputExtension[] = ".mp4";

// The file name of `sourcePath` after its last '/', with everything from its last '.'
// removed; a name without '.' is kept whole.
std::string baseNameOf(const std::string& sourcePath);

// Fills the job's names in the context from the source path and the destination
// directory: baseName, destDir, moduleDir, sourceDir, wavName, destinationPath. The names
// of the files the job writes (outputPath, pcmPath, videoEsPath, picturesPath) are
// cleared: they are given when the files are created.
// `destDir` is taken as handed in (it should end in '/').
void setJobNames(const std::string& sourcePath, const std::string& destDir);

// Creates a new file of the job for binary writing, exclusively, named `stem` + a unique
// tag + `extension`; its name goes to *path. Null (and *path empty) when the directory
// does not take it.
FILE* createJobFile(const std::string& stem, const std::string& extension, std::string* path);

// Removes a file the job created and forgets its name; an empty name removes nothing.
void removeJobFile(std::string* path);

// Closes and removes what an unfinished job made: its temporary files and its output
// under the output's own name (the destination's name is taken only by a finished job).
void removeJobFilesAndOutput();

// The video elementary-stream file of the job (videoEsPath): "" until the stream dump has
// created it.
std::string videoEsFilePath();

// The decoded-pictures file of the job (picturesPath): "" until the video stage has
// created it.
std::string decodedPicturesPath();

// Creates the PCM file (pcmFile, pcmPath) beside the source, unless it is open already.
// When the source's directory does not take the file (a read-only card or share), it is
// made in the private temporary directory. False when neither works.
bool openPcmFile();

// Creates the job's handset movie file (output, outputPath) exclusively beside its
// destination, readable as any new file of the user's is. False when the destination's
// directory does not take it; the reason is the job's failure.
bool createOutputFile();

// Gives the finished output its destination's name, replacing a file of that name.
// False (the reason noted, the output removed) when it cannot.
bool moveOutputToDestination();

// Creates the decoded-pictures file (picturesPath) in the current directory, or in the
// private temporary directory when the current one does not take it, and closes it for
// the decoder to fill. False when neither works.
bool createDecodedPicturesFile();
