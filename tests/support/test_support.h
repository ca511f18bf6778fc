// Shared helpers of the tests.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "messagebox.h"

namespace testing_support {

// Records every message box instead of showing it; answers questions with `answer`.
class RecordingMessageBox : public plat::MessageBoxHandler {
  public:
    struct Call {
        std::string text;
        plat::MessageKind kind;
    };
    plat::MessageAnswer Show(const std::string& text, plat::MessageKind kind) override;
    std::vector<Call> calls;
    plat::MessageAnswer answer = plat::MessageAnswer::No;
};

// Installs a RecordingMessageBox for the lifetime of the object.
class ScopedMessageBox {
  public:
    ScopedMessageBox();
    ~ScopedMessageBox();
    RecordingMessageBox box;
};

// A fresh empty folder, removed with everything in it on destruction.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    const std::filesystem::path& path() const { return path_; }
    // Writes a file (creating folders) below the folder and returns its full path.
    std::string Write(const std::string& relative, const std::string& content) const;

  private:
    std::filesystem::path path_;
};

// A PNG file's bytes for an image of 8-bit red, green, blue and alpha, rows from the top.
std::string EncodePng(int width, int height, const std::vector<uint8_t>& rgba);
// Four quadrants of 2 x 2 texels, 8-bit red, green, blue and alpha, rows from the top:
// red top left, green top right, blue bottom left, and `bottomRight` bottom right.
std::vector<uint8_t> QuadrantTexels(std::array<uint8_t, 4> bottomRight);
// A decompression bomb: a real PNG of black and white pixels, all black, of this size,
// its data a small fraction of what it decodes to (a few kilobytes per megapixel).
std::string PngBomb(uint32_t width, uint32_t height);
// Base64 of bytes (RFC 4648, with padding), in lines of at most `line` characters.
std::vector<std::string> Base64Lines(const std::string& bytes, size_t line = 76);

// The whole content of a file (empty when it cannot be read).
std::string Slurp(const std::string& path);
// The names in a folder, sorted.
std::vector<std::string> Entries(const std::filesystem::path& folder);

// The project's source folder and its bundled example library.
std::filesystem::path SourceDir();
std::filesystem::path ExamplesDir();
// The shared real LDraw library beside the project, when present.
std::optional<std::filesystem::path> SharedLdrawDir();

// Switches the process to a locale that writes decimal commas (German) for the
// lifetime of the object, as the desktop toolkit does when the user's environment
// asks for it. Active() is false when the machine has no such locale.
class ScopedCommaLocale {
  public:
    ScopedCommaLocale();
    ~ScopedCommaLocale();
    bool Active() const { return active_; }

  private:
    std::string previous_;
    bool active_ = false;
};

// Sets (or with null unsets) an environment variable for the lifetime of the object,
// then puts back what was there before.
class ScopedEnv {
  public:
    ScopedEnv(const char* name, const char* value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

  private:
    const char* name_;
    std::optional<std::string> old_;
};

// Makes every write of this process beyond `bytes` into a file fail for the lifetime
// of the object, as a full disk does (RLIMIT_FSIZE, with SIGXFSZ ignored so that the
// write fails with EFBIG instead of ending the process).
class ScopedFileSizeLimit {
  public:
    explicit ScopedFileSizeLimit(uint64_t bytes);
    ~ScopedFileSizeLimit();
    ScopedFileSizeLimit(const ScopedFileSizeLimit&) = delete;
    ScopedFileSizeLimit& operator=(const ScopedFileSizeLimit&) = delete;

  private:
    uint64_t savedCurrent_ = 0;
    void (*oldHandler_)(int) = nullptr;
};

// Model text used by many tests: the identity matrix as a type-1 line writes it, a
// reference line, and a cube of 20 units around the origin as six quads of colour 16.
inline constexpr const char* kIdentity = "1 0 0 0 1 0 0 0 1";
inline std::string Ref(const std::string& colour, const std::string& pos, const std::string& matrix,
                       const std::string& name) {
    return "1 " + colour + " " + pos + " " + matrix + " " + name + "\n";
}
inline constexpr const char* kCube =
    "4 16 -10 -10 -10 10 -10 -10 10 10 -10 -10 10 -10\n"
    "4 16 -10 -10 10 10 -10 10 10 10 10 -10 10 10\n"
    "4 16 -10 -10 -10 -10 10 -10 -10 10 10 -10 -10 10\n"
    "4 16 10 -10 -10 10 10 -10 10 10 10 10 -10 10\n"
    "4 16 -10 -10 -10 10 -10 -10 10 -10 10 -10 -10 10\n"
    "4 16 -10 10 -10 10 10 -10 10 10 10 -10 10 10\n";

// A small LDConfig.ldr of the tests' own: a solid colour 71 whose edge is written
// #RRGGBB, a transparent 43 whose edge is colour 1, chrome 383, metal 10334, rubber 256,
// a new value for colour 4, colour 24 (which keeps its meaning), a malformed
// definition of 72 on line 9 and a second definition of 10334.
extern const char* const kTestLDConfig;

}  // namespace testing_support

// Skips the current test when the shared LDraw library is absent.
#define ZARVEL_REQUIRE_SHARED_LDRAW(var)                                \
    auto var##_opt = ::testing_support::SharedLdrawDir();               \
    if (!var##_opt) GTEST_SKIP() << "shared LDraw library not present"; \
    const std::filesystem::path var = *var##_opt
