// Mapping part of an open file read-only: the host primitive behind
// RandomAccessFile::View for files on disk (mmap natively, a file mapping
// in the stub).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "base/random_access_file.h"

namespace ferry {

// A view of `length` (> 0) bytes at `offset` of the file open as C library
// descriptor `fd`; nullptr when they cannot be mapped.
std::unique_ptr<FileView> MapFileView(int fd, uint64_t offset, size_t length);

}  // namespace ferry
