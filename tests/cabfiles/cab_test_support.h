// Shared pieces of the cabinet component tests: a private temporary folder per
// test and small readers of what an extraction left on disk.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "cabfiles/cab_file.h"
#include "common/host_fs.h"
#include "helpers/cab_builder.h"

namespace vornix::testing {

class CabTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    m_dir = std::filesystem::temp_directory_path() / (std::string("vornix-cab-") + info->test_suite_name() + "-" +
                                                      info->name() + "-" + std::to_string(::getpid()));
    std::filesystem::remove_all(m_dir);
    std::filesystem::create_directories(m_dir / "out");
  }
  void TearDown() override {
    std::error_code ec;
    std::filesystem::remove_all(m_dir, ec);
  }

  const std::filesystem::path& dir() const { return m_dir; }
  std::filesystem::path out() const { return m_dir / "out"; }

  /// Writes `bytes` as test.cab and points a component at it, extraction going to out().
  TCABFile& cabinet(const std::string& bytes) {
    const std::filesystem::path file = m_dir / "test.cab";
    EXPECT_TRUE(WriteFileBytes(file, bytes));
    m_cab.CABFile = file;
    m_cab.TargetPath = out();
    m_cab.OnWarning = [this](const std::string& text) { warnings.push_back(text); };
    return m_cab;
  }
  TCABFile& cabinet(const CabBuilder& builder) { return cabinet(builder.bytes()); }

  /// Every regular file under `root`, as generic relative paths, sorted.
  static std::vector<std::string> filesUnder(const std::filesystem::path& root) {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::recursive_directory_iterator(root)) {
      if (e.is_regular_file()) names.push_back(std::filesystem::relative(e.path(), root).generic_string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }
  static std::string contentOf(const std::filesystem::path& file) { return ReadFileBytes(file).value_or("<missing>"); }

  std::vector<std::string> warnings;

 private:
  std::filesystem::path m_dir;
  TCABFile m_cab;
};

}  // namespace vornix::testing
