// Small helpers for the core's tests: a private temporary folder, whole-file reads and writes,
// and a fresh image on the heap (an image object is too large for a thread's stack on Windows).
#ifndef TOLVEN_TESTS_TEST_SUPPORT_H
#define TOLVEN_TESTS_TEST_SUPPORT_H

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "image/volume_image.h"
#include "image_snapshot.h"

namespace testing_support {

class TempDir {
public:
    TempDir() {
        std::random_device rd;
        path_ = std::filesystem::temp_directory_path() /
                ("tolven-test-" + std::to_string(rd()) + "-" + std::to_string(rd()));
        std::filesystem::create_directories(path_);
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    std::string file(const std::string& name) const { return (path_ / name).string(); }
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

inline std::vector<uint8_t> readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in),
                                std::istreambuf_iterator<char>());
}

inline void writeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

inline std::unique_ptr<VolumeImage> newImage(int diskType = 2, const char* label = "NO NAME",
                                             const char* oem = "TOLVEN") {
    std::unique_ptr<VolumeImage> image(new VolumeImage);
    EXPECT_EQ(0, image->createImage(nullptr, diskType, label, oem));
    return image;
}

// Pops every queued message, in order.
inline std::vector<std::string> takeMessages(VolumeImage& image) {
    std::vector<std::string> out;
    char buffer[kMessageTextSize + 1];
    for (;;) {
        std::fill(std::begin(buffer), std::end(buffer), '\0');
        if (!image.popFront(buffer, kMessageTextSize)) break;
        out.push_back(buffer);
    }
    return out;
}

}  // namespace testing_support

#endif
