// A tiny LDraw library for the export tests, written into a test's folder: a stud, two
// primitives that the writer replaces, bricks and a plate from the parts folder, and
// models in the models folder.
#pragma once

#include "test_support.h"

namespace povtest {

inline void WriteLibrary(const testing_support::TempDir& dir) {
    dir.Write("p/stud.dat",
              "0 Stud\n"
              "4 16 6 -4 6 -6 -4 6 -6 -4 -6 6 -4 -6\n"
              "2 24 6 0 6 6 -4 6\n");
    dir.Write("p/4-4cyli.dat", "0 Cylinder\n3 16 1 0 0 0 1 1 -1 0 0\n");
    dir.Write("p/48/4-4cyli.dat", "0 Cylinder\n3 16 1 0 0 0 1 1 -1 0 0\n");
    dir.Write("p/stud4a.dat", "0 Stud tube\n3 16 8 0 0 0 -4 8 -8 0 0\n");
    dir.Write("parts/brick.dat",
              "0 Brick\n"
              "4 16 -10 0 -10 10 0 -10 10 0 10 -10 0 10\n"
              "3 16 -10 0 -10 10 24 -10 -10 24 10\n");
    dir.Write("parts/plate.dat",
              "0 Plate\n"
              "1 16 -10 0 0 1 0 0 0 1 0 0 0 1 stud.dat\n"
              "1 16 10 0 0 1 0 0 0 1 0 0 0 1 stud.dat\n"
              "4 16 -20 8 -10 20 8 -10 20 8 10 -20 8 10\n"
              "1 16 0 4 0 1 0 0 0 1 0 0 0 1 stud.dat\n"
              "1 16 0 0 0 1 0 0 0 1 0 0 0 1 s\\plateside.dat\n"
              "1 16 0 8 0 1 0 0 0 1 0 0 0 1 s\\twostuds.dat\n");
    dir.Write("parts/s/plateside.dat", "0 Side\n3 16 -20 0 -10 20 0 -10 20 8 -10\n");
    dir.Write("parts/s/twostuds.dat",
              "0 Two studs\n"
              "1 16 -10 0 0 1 0 0 0 1 0 0 0 1 stud.dat\n"
              "1 16 10 0 0 1 0 0 0 1 0 0 0 1 stud.dat\n");
    // A tile without height: its seam leaves the flat axis alone.
    dir.Write("parts/tile.dat", "0 Tile\n4 16 -10 0 -10 10 0 -10 10 0 10 -10 0 10\n");

    dir.Write("models/one.ldr", "1 4 10 -24 30 1 0 0 0 1 0 0 0 1 brick.dat\n");
    dir.Write("models/all.ldr",
              "0 Everything\n"
              "1 4 0 -24 0 1 0 0 0 1 0 0 0 1 brick.dat\n"
              "1 1 40 -8 0 1 0 0 0 1 0 0 0 1 plate.dat\n"
              "1 36 0 0 40 1 0 0 0 1 0 0 0 1 brick.dat\n"
              "1 383 -40 0 0 6 0 0 0 4 0 0 0 6 4-4cyli.dat\n"
              "1 383 -40 0 20 6 0 0 0 4 0 0 0 6 48\\4-4cyli.dat\n"
              "1 16 0 0 -40 1 0 0 0 1 0 0 0 1 stud4a.dat\n"
              "3 2 -20 0 -20 20 0 -20 20 0 -40\n");
    dir.Write("models/edges.ldr",
              "0 Only edges\n"
              "2 24 0 0 0 10 0 0\n"
              "5 24 0 0 0 0 10 0 1 0 0 -1 0 0\n");
    dir.Write("models/studonly.ldr", "1 16 0 0 0 1 0 0 0 1 0 0 0 1 stud.dat\n");
}

}  // namespace povtest
