// Writes a compiled setup: a copy of the stub with the archive appended.
//
// The file is built under a temporary name beside the output and renamed
// only when every entry was stored, so a failed write leaves no setup (and
// an earlier setup of that name stays as it was).
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "script_compiler.h"

namespace ferry::tool {

struct WriteStats {
  size_t Entries = 0;
  size_t Groups = 0;        // payload groups
  uint64_t StubSize = 0;
  uint64_t OriginalBytes = 0;  // sum of OrigSize
  uint64_t FileSize = 0;       // the whole setup
};

// Called after each entry is stored, in archive order: entries stored so far
// and the sum of their source sizes.
using EntryStored = std::function<void(size_t entries, uint64_t sourceBytes)>;

// The bytes an entry is made from (its data, or its source file's size).
uint64_t SourceBytes(const ArchiveSource& entry);

// Appends the setup's archive to a copy of `stub` and writes it to `output`.
// Problems (unreadable stub or payload file, a setup that would pass 4 GiB)
// are appended to `diagnostics`; false then, and nothing is written.
bool WriteSetup(const CompiledSetup& setup, const std::filesystem::path& stub,
                const std::filesystem::path& output, const std::string& scriptName,
                std::vector<Diagnostic>& diagnostics, WriteStats* stats = nullptr,
                const EntryStored& onStored = {});

}  // namespace ferry::tool
