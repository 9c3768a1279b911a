#include "common/mapped_file.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "common/host_fs.h"

namespace vornix {

MappedFile::MappedFile(const std::filesystem::path& file) {
  const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    m_error = file.string() + ": " + std::strerror(errno);
    return;
  }
  struct stat st {};
  if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0) {
    void* p = ::mmap(nullptr, static_cast<size_t>(st.st_size), PROT_READ, MAP_PRIVATE, fd, 0);
    if (p != MAP_FAILED) {
      m_data = static_cast<const uint8_t*>(p);
      m_size = static_cast<size_t>(st.st_size);
      m_mapped = true;
    }
  }
  ::close(fd);
  if (m_mapped) return;
  if (auto bytes = ReadFileBytes(file)) {
    m_copy = std::move(*bytes);
    m_data = reinterpret_cast<const uint8_t*>(m_copy.data());
    m_size = m_copy.size();
  } else {
    m_error = file.string() + ": cannot be read";
  }
}

MappedFile::~MappedFile() {
  if (m_mapped) ::munmap(const_cast<uint8_t*>(m_data), m_size);
}

}  // namespace vornix
