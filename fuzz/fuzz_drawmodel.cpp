// libFuzzer target for the whole drawing path of a model: each input is written to a
// private folder and read as a main model with the bundled example library behind it,
// drawn at a small size (at the opening zoom, fitted, and as a drag's wire preview),
// exported as a POV-Ray scene into memory, and as glTF, STL and OBJ into nothing. The
// first byte also picks the standard view, the colour scheme and the exports' edge lines,
// so every view and the LDConfig.ldr-less fallback of scheme 3 are reached.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>

#include "colours.h"
#include "diagnostics.h"
#include "exportscene.h"
#include "files.h"
#include "fuzzinput.h"
#include "gltfwriter.h"
#include "loader.h"
#include "meshfiles.h"
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

        // The exports, into nothing: glTF (edge lines for every other input), STL, OBJ.
        static std::FILE* const nowhere = std::fopen("/dev/null", "wb");
        exports::SceneRequest request;
        request.lines = (choice & 1) != 0;
        exports::Scene exported;
        std::string error;
        if (nowhere &&
            exports::CollectScene(model, view.State().palette, request, exported, error)) {
            const std::map<int32_t, std::string> names;
            exports::GltfDocument(exported, view.State().palette, names, "fuzz").WriteGlb(nowhere);
            exports::WriteStl(nowhere, exported, "fuzz");
            exports::WriteObj(nowhere, nowhere, exported, view.State().palette, names, "fuzz.mtl",
                              "fuzz");
        }
    }
    return 0;
}
