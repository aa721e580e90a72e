#pragma once
// Subcommands of kinolite-cli. Each takes the arguments after its own name and returns the
// process exit status: 0 success, 1 failure, 2 usage error.

#include <cstdio>

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

struct Subcommand {
    const char* name;
    const char* summary;
    int (*run)(int argc, char** argv);
    void (*printHelp)(FILE* out);
};

int runConvert(int argc, char** argv);
void printConvertHelp(FILE* out);
int runProbe(int argc, char** argv);
void printProbeHelp(FILE* out);
int runInspect(int argc, char** argv);
void printInspectHelp(FILE* out);
int runExtract(int argc, char** argv);
void printExtractHelp(FILE* out);
int runDecode(int argc, char** argv);
void printDecodeHelp(FILE* out);
int runEncode(int argc, char** argv);
void printEncodeHelp(FILE* out);
