// Opening a file to read it, by the one set of rules every file the game reads follows: its
// trusted links followed (FolderWalk), opened without blocking, a regular file, no larger than
// its kind allows. Anything else is refused with a reason a player can read; a file that could
// not be opened or read keeps the system's errno in the outcome's error.
#pragma once
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "files/FileDescriptor.h"
#include "files/FileOutcome.h"
#include "files/FolderWalk.h"

// The reasons, for callers that tell a missing file from a damaged one.
inline constexpr const char* kMissingReason = "missing";
inline constexpr const char* kNotRegularReason = "not a regular file";

// Opens the name inside its folder for reading: a pipe, a device or a folder is refused before
// anything can block on it, and so is a file larger than limit bytes. size is its size then.
FileOutcome openForReading(const FileInFolder& at, std::size_t limit, FileDescriptor& file,
                           std::size_t& size);
// The same for a path, relative to the working folder unless absolute.
FileOutcome openForReading(const std::string& path, std::size_t limit, FileDescriptor& file,
                           std::size_t& size);

// The whole file, when it is all of the above: one that grows past limit while it is read is too
// large as well. bytes is left empty on failure; what it held before is overwritten, its storage
// reused.
FileOutcome readWholeFile(const std::string& path, std::size_t limit, std::vector<uint8_t>& bytes);

// The first into.size() bytes of a regular file of any size; got is how many there were.
FileOutcome readFileStart(const FileInFolder& at, std::span<uint8_t> into, std::size_t& got);
