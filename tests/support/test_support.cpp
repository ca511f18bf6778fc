#include "test_support.h"

#include <png.h>
#include <sys/resource.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <clocale>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <iterator>

#include "files.h"

namespace testing_support {

namespace {

// No test reads or writes the user's own configuration (ldraw.ini, settings): every
// test program starts with a configuration folder of its own that does not exist.
const bool kPrivateConfig = [] {
    const std::string dir = (std::filesystem::temp_directory_path() /
                             ("zarvel-test-config-" + std::to_string(getpid())))
                                .string();
    setenv("XDG_CONFIG_HOME", dir.c_str(), 1);
    return true;
}();

}  // namespace

plat::MessageAnswer RecordingMessageBox::Show(const std::string& text, plat::MessageKind kind) {
    calls.push_back({text, kind});
    return kind == plat::MessageKind::Question ? answer : plat::MessageAnswer::Ok;
}

ScopedMessageBox::ScopedMessageBox() { plat::SetMessageBoxHandler(&box); }
ScopedMessageBox::~ScopedMessageBox() { plat::SetMessageBoxHandler(nullptr); }

TempDir::TempDir() {
    static std::atomic<int> counter{0};
    path_ = std::filesystem::temp_directory_path() /
            ("zarvel-test-" + std::to_string(getpid()) + "-" + std::to_string(counter++));
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::vector<std::string> Entries(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::string TempDir::Write(const std::string& relative, const std::string& content) const {
    std::filesystem::path full = path_ / relative;
    std::filesystem::create_directories(full.parent_path());
    std::ofstream(full, std::ios::binary) << content;
    plat::ClearPathCache();
    return full.string();
}

ScopedEnv::ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    if (value != nullptr)
        setenv(name, value, 1);
    else
        unsetenv(name);
}

ScopedEnv::~ScopedEnv() {
    if (old_)
        setenv(name_, old_->c_str(), 1);
    else
        unsetenv(name_);
}

ScopedFileSizeLimit::ScopedFileSizeLimit(uint64_t bytes) {
    rlimit limit{};
    getrlimit(RLIMIT_FSIZE, &limit);
    savedCurrent_ = limit.rlim_cur;
    oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
    limit.rlim_cur = static_cast<rlim_t>(bytes);
    setrlimit(RLIMIT_FSIZE, &limit);
}

ScopedFileSizeLimit::~ScopedFileSizeLimit() {
    rlimit limit{};
    getrlimit(RLIMIT_FSIZE, &limit);
    limit.rlim_cur = static_cast<rlim_t>(savedCurrent_);
    setrlimit(RLIMIT_FSIZE, &limit);
    std::signal(SIGXFSZ, oldHandler_);
}

std::filesystem::path SourceDir() { return ZARVEL_SOURCE_DIR; }

std::filesystem::path ExamplesDir() { return SourceDir() / "examples"; }

std::optional<std::filesystem::path> SharedLdrawDir() {
    std::filesystem::path dir = ZARVEL_SHARED_LDRAW;
    std::error_code ec;
    if (std::filesystem::is_directory(dir / "parts", ec)) return std::filesystem::canonical(dir);
    return std::nullopt;
}

ScopedCommaLocale::ScopedCommaLocale() {
    const char* current = std::setlocale(LC_ALL, nullptr);
    previous_ = current ? current : "C";
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "de_DE"}) {
        if (std::setlocale(LC_ALL, name)) {
            active_ = true;
            return;
        }
    }
}

ScopedCommaLocale::~ScopedCommaLocale() { std::setlocale(LC_ALL, previous_.c_str()); }

const char* const kTestLDConfig =
    "0 Colours of the tests\n"
    "0 !COLOUR Test_Grey CODE 71 VALUE #8899AA EDGE #223344\n"
    "0 !COLOUR Test_Glass CODE 43 VALUE #55CCEE EDGE 1 ALPHA 100\n"
    "0 !COLOUR Test_Mirror CODE 383 VALUE #D0D4D8 EDGE #707070 CHROME\n"
    "0 !COLOUR Test_Brass CODE 10334 VALUE #B09030 EDGE #604810 METAL\n"
    "0 !COLOUR Test_Tyre CODE 256 VALUE #202428 EDGE #606468 RUBBER\n"
    "0 !COLOUR Test_Red CODE 4 VALUE #B01008 EDGE #402020\n"
    "0 !COLOUR Test_Edge CODE 24 VALUE #808080 EDGE #404040\n"
    "0 !COLOUR Test_Broken CODE 72 VALUE #12345G EDGE #000000\n"
    "0 !COLOUR Test_Brass CODE 10334 VALUE #A08020 EDGE #604810 METAL\n";

}  // namespace testing_support

namespace testing_support {

std::string EncodePng(int width, int height, const std::vector<uint8_t>& rgba) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(width);
    image.height = static_cast<png_uint_32>(height);
    image.format = PNG_FORMAT_RGBA;
    png_alloc_size_t size = 0;
    if (!png_image_write_to_memory(&image, nullptr, &size, 0, rgba.data(), 0, nullptr)) return {};
    std::string out(size, '\0');
    if (!png_image_write_to_memory(&image, out.data(), &size, 0, rgba.data(), 0, nullptr))
        return {};
    out.resize(size);
    return out;
}

std::vector<uint8_t> QuadrantTexels(std::array<uint8_t, 4> bottomRight) {
    const std::array<uint8_t, 4> colours[4] = {
        {255, 0, 0, 255}, {0, 255, 0, 255}, {0, 0, 255, 255}, bottomRight};
    std::vector<uint8_t> rgba;
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) {
            const auto& c = colours[(y >= 2 ? 2 : 0) + (x >= 2 ? 1 : 0)];
            rgba.insert(rgba.end(), c.begin(), c.end());
        }
    return rgba;
}

std::string PngBomb(uint32_t width, uint32_t height) {
    auto u32 = [](std::string& out, uint32_t v) {
        for (int i = 0; i < 4; ++i) out += static_cast<char>(v >> (24 - 8 * i) & 0xFF);
    };
    std::string png("\x89PNG\r\n\x1a\n", 8);
    auto chunk = [&](const char* type, const std::string& data) {
        u32(png, static_cast<uint32_t>(data.size()));
        const std::string body = type + data;
        png += body;
        u32(png, static_cast<uint32_t>(
                     crc32(0, reinterpret_cast<const Bytef*>(body.data()), body.size())));
    };
    std::string header;
    u32(header, width);
    u32(header, height);
    header += std::string("\x01\x00\x00\x00\x00", 5);  // 1 bit grey, no interlace
    chunk("IHDR", header);
    // Rows of a filter byte and zeros, deflated a row at a time.
    z_stream z{};
    deflateInit(&z, 9);
    const std::vector<Bytef> row(1 + (width + 7) / 8, 0);
    std::string data;
    std::vector<Bytef> out(64 * 1024);
    for (uint32_t y = 0; y <= height; ++y) {
        z.next_in = const_cast<Bytef*>(row.data());
        z.avail_in = y < height ? static_cast<uInt>(row.size()) : 0;
        const int flush = y < height ? Z_NO_FLUSH : Z_FINISH;
        do {
            z.next_out = out.data();
            z.avail_out = static_cast<uInt>(out.size());
            deflate(&z, flush);
            data.append(reinterpret_cast<const char*>(out.data()), out.size() - z.avail_out);
        } while (z.avail_out == 0);
    }
    deflateEnd(&z);
    chunk("IDAT", data);
    chunk("IEND", {});
    return png;
}

std::vector<std::string> Base64Lines(const std::string& bytes, size_t line) {
    static const char* const kDigits =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string text;
    for (size_t i = 0; i < bytes.size(); i += 3) {
        uint32_t v = static_cast<uint8_t>(bytes[i]) << 16;
        if (i + 1 < bytes.size()) v |= static_cast<uint8_t>(bytes[i + 1]) << 8;
        if (i + 2 < bytes.size()) v |= static_cast<uint8_t>(bytes[i + 2]);
        text += kDigits[v >> 18 & 63];
        text += kDigits[v >> 12 & 63];
        text += i + 1 < bytes.size() ? kDigits[v >> 6 & 63] : '=';
        text += i + 2 < bytes.size() ? kDigits[v & 63] : '=';
    }
    std::vector<std::string> lines;
    for (size_t i = 0; i < text.size(); i += line) lines.push_back(text.substr(i, line));
    return lines;
}

}  // namespace testing_support
