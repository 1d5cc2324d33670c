#pragma once
// A private hive for one test: XDG_CONFIG_HOME points at a fresh temporary folder.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

class TempHive : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (std::filesystem::temp_directory_path() / "sorvanta-hive-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    config_ = pattern;
    for (const char* name : {"XDG_CONFIG_HOME", "HOME"})
      if (const char* old = std::getenv(name))
        saved_.emplace_back(name, std::string(old));
      else
        saved_.emplace_back(name, std::nullopt);
    ::setenv("XDG_CONFIG_HOME", config_.c_str(), 1);
  }
  void TearDown() override {
    for (const auto& [name, value] : saved_)
      if (value)
        ::setenv(name.c_str(), value->c_str(), 1);
      else
        ::unsetenv(name.c_str());
    std::error_code ignored;
    std::filesystem::remove_all(config_, ignored);
  }

  // Where the show's key lives, spelled out as the README gives it.
  std::filesystem::path ShowKeyFile() const {
    return config_ / "sorvanta-registry" / "HKEY_CURRENT_USER" / "SOFTWARE" / "Korvane Software" /
           "Sorvanta.toml";
  }

  static void WriteFile(const std::filesystem::path& file, const std::string& text) {
    std::filesystem::create_directories(file.parent_path());
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << text;
  }

  static std::string ReadFile(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }

  // Every file under `folder` except the lock files, relative to it.
  static std::vector<std::string> FilesUnder(const std::filesystem::path& folder) {
    std::vector<std::string> found;
    if (!std::filesystem::exists(folder)) return found;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder))
      if (!entry.is_directory() && entry.path().extension() != ".lock")
        found.push_back(std::filesystem::relative(entry.path(), folder).string());
    return found;
  }

  std::filesystem::path config_;

 private:
  std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};
