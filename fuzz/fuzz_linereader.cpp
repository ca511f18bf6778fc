// libFuzzer target for the line reader: each input is written to a private folder
// and read as a main model with no library behind it, so every reference it makes
// is either one of its own MPD sections or missing.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "colours.h"
#include "files.h"
#include "fuzzinput.h"
#include "loader.h"
#include "messagebox.h"
#include "model.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const FuzzInputFolder setup;
    setup.Write(data, size);

    QzModel model;
    QzPalette palette;
    QzLoadSettings settings;
    settings.ldrawDir = setup.folder + "/no-library";
    QzReadModel(model, setup.model, settings, palette);
    return 0;
}
