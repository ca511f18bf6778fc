// Compares a picture zarvel-cli drew with another program's picture of the same model
// from the same direction (a PNG with a transparent background): the other picture is
// scaled onto ours by the model's bounding box, flattened onto our background, and
// both are blurred with a 13 x 13 box before their colours are compared in CIE L*a*b*.
//
//   zarvel-peer-compare [--aligned OUT.png] OURS.png THEIRS.png
//
// prints one line: scale x and y, pixels compared, mean CIE76 difference, mean L*
// difference (ours minus theirs), share of dark pixels (luma under 70) in ours and in
// theirs, and the pixels of ours in a checkerboard.
#include <cstdio>
#include <cstring>
#include <string>

#include "peercompare.h"

int main(int argc, char** argv) {
    std::string alignedPath;
    int i = 1;
    if (i + 1 < argc && !std::strcmp(argv[i], "--aligned")) {
        alignedPath = argv[i + 1];
        i += 2;
    }
    if (argc - i != 2) {
        std::fprintf(stderr,
                     "usage: zarvel-peer-compare [--aligned OUT.png] OURS.png THEIRS.png\n");
        return 2;
    }
    pictures::Picture ours, theirs, aligned;
    std::string error;
    for (auto [path, picture] : {std::pair{argv[i], &ours}, std::pair{argv[i + 1], &theirs}})
        if (!pictures::ReadPng(path, *picture, error)) {
            std::fprintf(stderr, "zarvel-peer-compare: %s: %s\n", path, error.c_str());
            return 1;
        }
    pictures::PeerComparison r;
    if (!pictures::ComparePictures(ours, theirs, pictures::PeerOptions{}, r,
                                   alignedPath.empty() ? nullptr : &aligned)) {
        std::fprintf(stderr, "zarvel-peer-compare: a picture shows no model\n");
        return 1;
    }
    if (!alignedPath.empty() && !pictures::WritePng(alignedPath, aligned, error)) {
        std::fprintf(stderr, "zarvel-peer-compare: %s: %s\n", alignedPath.c_str(), error.c_str());
        return 1;
    }
    std::printf("scale %.4f %.4f pixels %ld dE %.2f dL %+.2f dark %.1f %.1f checker %ld\n",
                r.scaleX, r.scaleY, r.pixels, r.deltaE, r.lightness, r.darkOurs, r.darkTheirs,
                r.checkerboard);
    return 0;
}
