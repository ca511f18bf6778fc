// Comparing a drawing with another program's drawing of the same model from the same
// direction: the other picture is scaled and moved so that the model's bounding box
// matches ours, flattened onto our background, and both are compared pixel by pixel
// where both show the model.
#pragma once

#include <cstdint>

#include "pictures.h"

namespace pictures {

struct PeerComparison {
    // How the other picture was scaled onto ours (ours / theirs, per axis).
    double scaleX = 0, scaleY = 0;
    // Pixels where both pictures show the model.
    long pixels = 0;
    // Mean CIE76 colour difference after a box blur of both pictures.
    double deltaE = 0;
    // Mean L* of ours minus mean L* of theirs (blurred, over the same pixels).
    double lightness = 0;
    // Share of those pixels darker than luma 70, in percent, ours and theirs.
    double darkOurs = 0, darkTheirs = 0;
    // Pixels of ours in a checkerboard: equal to their four diagonal neighbours,
    // different from their four direct neighbours, which are equal.
    long checkerboard = 0;
};

struct PeerOptions {
    // The background of ours, onto which theirs is flattened (its transparent parts).
    uint8_t background[3] = {119, 215, 242};
    // Side of the box blur, pixels.
    int blur = 13;
    // Luma below which a pixel counts as dark.
    double darkLuma = 70;
};

// The colour of the fully transparent pixels of theirs (the most common), which its
// other pixels hold in the share their alpha leaves uncovered; black when none.
void TheirBackground(const Picture& theirs, double background[3]);

// theirs is scaled onto ours (bilinear, several samples per pixel when it shrinks);
// aligned is set to the scaled and flattened picture when not null. False when either
// picture shows no model.
bool ComparePictures(const Picture& ours, const Picture& theirs, const PeerOptions& options,
                     PeerComparison& result, Picture* aligned = nullptr);

// CIE L*a*b* (D65) of an 8-bit sRGB colour.
void SrgbToLab(double r, double g, double b, double lab[3]);

}  // namespace pictures
