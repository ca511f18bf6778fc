// libFuzzer target for the line reader: each input is written to a private folder
// and read as a main model with no library behind it, so every reference it makes
// is either one of its own MPD sections or missing.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "colours.h"
#include "files.h"
#include "loader.h"
#include "messagebox.h"
#include "model.h"

namespace {

class QuietBox : public plat::MessageBoxHandler {
  public:
    plat::MessageAnswer Show(const std::string&, plat::MessageKind) override {
        return plat::MessageAnswer::Ok;
    }
};

struct Setup {
    Setup() {
        std::string pattern = plat::TempDir() + "/zarvel-fuzz-XXXXXX";
        if (!mkdtemp(pattern.data())) std::abort();
        folder = pattern;
        model = folder + "/input.mpd";
        plat::SetMessageBoxHandler(&box);
    }
    ~Setup() {
        std::remove(model.c_str());
        rmdir(folder.c_str());
    }
    QuietBox box;
    std::string folder;
    std::string model;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Setup setup;
    FILE* file = std::fopen(setup.model.c_str(), "wb");
    if (!file) std::abort();
    if (size > 0 && std::fwrite(data, 1, size, file) != size) std::abort();
    std::fclose(file);

    QzModel model;
    QzPalette palette;
    QzLoadSettings settings;
    settings.ldrawDir = setup.folder + "/no-library";
    QzReadModel(model, setup.model, settings, palette);
    return 0;
}
