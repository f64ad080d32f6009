// Helpers for the kestrune-verify tests: a scratch folder and small files.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

// A fresh folder under the system's temporary folder, removed with its
// contents at the end of the test.
class scratch_dir {
 public:
  scratch_dir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "kverify-XXXXXX").string();
    path_ = mkdtemp(pattern.data()) ? pattern : "";
  }
  ~scratch_dir() {
    std::error_code ec;
    if (!path_.empty()) std::filesystem::remove_all(path_, ec);
  }
  scratch_dir(const scratch_dir&) = delete;
  scratch_dir& operator=(const scratch_dir&) = delete;

  // The path of name inside the folder.
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }
  const std::string& path() const { return path_; }

  // Writes text to name inside the folder and returns its path.
  std::string write(const std::string& name, const std::string& text) const {
    std::string p = *this / name;
    std::ofstream(p, std::ios::binary) << text;
    return p;
  }

 private:
  std::string path_;
};

inline std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}
