// A private temporary directory for one test, removed with everything in it at the end.
// Header-only; for tests that need real files.
#pragma once

#include <filesystem>
#include <fstream>
#include <random>
#include <string>

namespace quorvel::test {

class ScratchDir {
 public:
  ScratchDir() {
    std::random_device random;
    path_ = std::filesystem::temp_directory_path() /
            ("quorvel-test-" + std::to_string(random()) + std::to_string(random()));
    std::filesystem::create_directories(path_);
  }
  ~ScratchDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  // The full path of name inside the directory.
  std::string PathOf(const std::string& name) const { return (path_ / name).string(); }

  // Writes bytes (any values) to name, replacing it; returns the full path.
  std::string Write(const std::string& name, const std::string& bytes) const {
    std::string path = PathOf(name);
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
    return path;
  }

 private:
  std::filesystem::path path_;
};

}  // namespace quorvel::test
