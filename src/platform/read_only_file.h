// The platform's file reading: a file opened for reading only while other writers are kept
// out, as far as the platform allows. Used from any thread.
#pragma once

#include <cstdint>
#include <memory>

#include "text/text.h"

namespace quorvel {

class ReadOnlyFile {
 public:
  virtual ~ReadOnlyFile() = default;
  // The file's length in bytes; -1 when it cannot be told.
  virtual std::int64_t Length() = 0;
  // Reads up to count bytes into buffer; the number read, 0 at the end, -1 on failure.
  virtual std::int64_t Read(std::uint8_t* buffer, std::int64_t count) = 0;
};

// Opens path (GBK) for reading with other writers refused; nullptr when it cannot be opened,
// or when another process holds it open for writing as far as the platform can tell.
std::unique_ptr<ReadOnlyFile> OpenReadOnlyFile(const Text& path);

}  // namespace quorvel
