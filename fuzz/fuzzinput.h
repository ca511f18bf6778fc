// What the file-reading fuzzers share: a private folder for the input, message boxes
// answered at once, and the input written there as the model file to read.
#pragma once

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>

#include "atomicfile.h"
#include "files.h"
#include "messagebox.h"

class FuzzInputFolder {
  public:
    FuzzInputFolder() {
        std::string pattern = plat::TempDir() + "/zarvel-fuzz-XXXXXX";
        if (!mkdtemp(pattern.data())) std::abort();
        folder = pattern;
        model = folder + "/input.mpd";
        plat::SetMessageBoxHandler(&box_);
    }
    ~FuzzInputFolder() {
        std::error_code ec;
        std::filesystem::remove_all(folder, ec);
    }
    // Writes the fuzzer's input as the model file.
    void Write(const uint8_t* data, size_t size) const {
        std::string error;
        if (!plat::WriteFileAtomically(
                model, std::string_view(reinterpret_cast<const char*>(data), size), error))
            std::abort();
    }

    std::string folder;
    std::string model;

  private:
    class QuietBox : public plat::MessageBoxHandler {
      public:
        plat::MessageAnswer Show(const std::string&, plat::MessageKind) override {
            return plat::MessageAnswer::Ok;
        }
    };
    QuietBox box_;
};
