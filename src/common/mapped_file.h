// A whole file as read-only bytes, mapped rather than read where the host
// allows it, so that looking through a large installer costs no copy.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>

namespace vornix {

class MappedFile {
 public:
  /// Maps `file`; on failure bytes() is empty and error() says why.
  explicit MappedFile(const std::filesystem::path& file);
  ~MappedFile();
  MappedFile(const MappedFile&) = delete;
  MappedFile& operator=(const MappedFile&) = delete;

  bool ok() const { return m_error.empty(); }
  const std::string& error() const { return m_error; }
  std::span<const uint8_t> bytes() const { return {m_data, m_size}; }

 private:
  const uint8_t* m_data = nullptr;
  size_t m_size = 0;
  bool m_mapped = false;
  std::string m_copy;  // the bytes when the file could not be mapped (empty files, pipes)
  std::string m_error;
};

}  // namespace vornix
