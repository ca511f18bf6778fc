// libFuzzer target for the whole drawing path of a model: each input is written to a
// private folder and read as a main model with the bundled example library behind it,
// drawn at a small size (at the opening zoom, fitted, and as a drag's wire preview),
// and exported as a POV-Ray scene into memory. The first byte also picks the standard
// view and the colour scheme, so every view and the LDConfig.ldr-less fallback of
// scheme 3 are reached.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>

#include "colours.h"
#include "diagnostics.h"
#include "files.h"
#include "fuzzinput.h"
#include "loader.h"
#include "messagebox.h"
#include "model.h"
#include "povwriter.h"
#include "viewcore.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const FuzzInputFolder setup;
    setup.Write(data, size);
    const unsigned choice = size > 0 ? data[0] : 0;

    QzViewCore view;
    view.SetColourScheme(static_cast<int>(choice / 15 % QZ_SCHEME_COUNT));
    view.State().SetStandardView(static_cast<int>(choice % 15));
    QzModel model;
    QzLoadSettings settings;
    settings.ldrawDir = ZARVEL_FUZZ_LIBRARY;
    if (QzReadModel(model, setup.model, settings, view.State().palette) && view.Resize(48, 36)) {
        // As the view opens (zoom 100), then fitted, then as a drag's wire preview.
        view.Draw(model);
        view.FitCentred(model);
        view.Draw(model);
        view.State().dragging = true;
        view.Draw(model);
        view.State().dragging = false;

        std::ostringstream scene;
        PovWriteScene(scene, model, view.State().palette, kPovDefaultOptions, setup.model);
    }
    return 0;
}
