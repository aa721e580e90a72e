// kinolite-cli inspect FILE: prints the header and WAV fields of a handset movie file and
// checks that its sections are consistent.

#include <cstdio>
#include <cstring>

#include "commands.h"
#include "file_util.h"
#include "json_writer.h"
#include "pipeline/handset_file.h"

void printInspectHelp(FILE* out) {
    std::fprintf(out,
                 "Usage: kinolite-cli inspect [--json] FILE\n"
                 "\n"
                 "Prints one 'key: value' line per field of a handset movie file (header and WAV\n"
                 "section), then checks the file. The last line is 'ok' (exit 0) when the file\n"
                 "is consistent, otherwise 'invalid: <reason>' (exit 1).\n"
                 "\n"
                 "  --json   one JSON object instead: {\"file\", \"fields\": {key: value...},\n"
                 "           \"ok\", \"problem\"}\n");
}

int runInspect(int argc, char** argv) {
    bool json = false;
    const char* path = nullptr;
    for (int i = 0; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--json")) {
            json = true;
        } else if (argv[i][0] == '-' || path) {
            printInspectHelp(stderr);
            return kExitUsage;
        } else {
            path = argv[i];
        }
    }
    if (!path) {
        printInspectHelp(stderr);
        return kExitUsage;
    }
    std::vector<uint8_t> bytes;
    HandsetFileReport report;
    const bool readable = readWholeFile(path, &bytes);
    if (readable)
        report = checkHandsetFile(bytes);
    else
        report.problem = std::string("cannot read ") + path;
    if (json) {
        JsonObject fields;
        for (const auto& field : report.fields) fields.text(field.first, field.second);
        JsonObject o;
        o.text("file", path).raw("fields", fields.str()).boolean("ok", report.ok);
        if (!report.ok) o.text("problem", report.problem);
        std::printf("%s\n", o.str().c_str());
        return report.ok ? kExitOk : kExitFailed;
    }
    for (const auto& field : report.fields)
        std::printf("%s: %s\n", field.first.c_str(), field.second.c_str());
    if (!report.ok) {
        std::printf("invalid: %s\n", report.problem.c_str());
        return kExitFailed;
    }
    std::printf("ok\n");
    return kExitOk;
}
