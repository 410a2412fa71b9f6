// A fresh temporary directory, removed with everything in it at scope end.
#pragma once

#include <unistd.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace testing_support {

class TempDir {
  public:
    TempDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "sonaro-test-XXXXXX").string();
        path_ = ::mkdtemp(pattern.data()) ? pattern : std::string();
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

  private:
    std::string path_;
};

// Makes `dir` the current directory until scope end: clients that keep files
// beside the program (cookie jars) write there.
class InDirectory {
  public:
    explicit InDirectory(const std::string& dir) { std::filesystem::current_path(dir); }
    ~InDirectory() { std::filesystem::current_path(previous_); }

  private:
    std::filesystem::path previous_ = std::filesystem::current_path();
};

// The whole file's bytes; empty when it cannot be read.
inline std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace testing_support
