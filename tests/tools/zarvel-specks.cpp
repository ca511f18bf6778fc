// Counts the specks of hidden faces in pictures zarvel-cli drew: single pixels of one
// face colour whose eight neighbours have one other face colour. The edge colours of
// the library's LDConfig.ldr are line colours and never count.
//
//   zarvel-specks --ldraw ../shared/ldraw [--list] cafe0.png cafe1.png
//
// prints "COUNT FILE" per picture, with --list also "  X Y RRGGBB in RRGGBB" per speck.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "diagnostics.h"
#include "ldconfig.h"
#include "pictures.h"

int main(int argc, char** argv) {
    std::string ldraw;
    bool list = false;
    std::vector<std::string> files;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--ldraw") && i + 1 < argc) {
            ldraw = argv[++i];
        } else if (!std::strcmp(argv[i], "--list")) {
            list = true;
        } else if (argv[i][0] == '-') {
            std::fprintf(stderr, "usage: zarvel-specks [--ldraw DIR] [--list] PICTURE.png...\n");
            return 2;
        } else {
            files.push_back(argv[i]);
        }
    }
    if (files.empty()) {
        std::fprintf(stderr, "usage: zarvel-specks [--ldraw DIR] [--list] PICTURE.png...\n");
        return 2;
    }
    std::set<uint32_t> lines;
    if (!ldraw.empty()) {
        std::string log;
        std::vector<QzDiagnostic> entries;
        QzLogContext context(log, entries);
        QzLDConfigTable table;
        if (!QzReadLDConfig(ldraw, table, context)) {
            std::fprintf(stderr, "zarvel-specks: no LDConfig.ldr in %s\n", ldraw.c_str());
            return 2;
        }
        lines = pictures::EdgeColours(table);
    }
    int status = 0;
    for (const std::string& file : files) {
        pictures::Picture picture;
        std::string error;
        if (!pictures::ReadPng(file, picture, error)) {
            std::fprintf(stderr, "zarvel-specks: %s: %s\n", file.c_str(), error.c_str());
            status = 1;
            continue;
        }
        const std::vector<pictures::Speck> specks = pictures::FindSpecks(picture, lines);
        std::printf("%zu %s\n", specks.size(), file.c_str());
        if (list)
            for (const pictures::Speck& s : specks)
                std::printf("  %d %d %06X in %06X\n", s.x, s.y, s.colour, s.surround);
    }
    return status;
}
