#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace pw {

// Reads a whole regular file. nullopt when it is missing, unreadable, a directory or
// anything other than a regular file (a FIFO would block the main thread forever).
std::optional<std::vector<std::uint8_t>> readWholeFile(const std::string& path);

// Outcome of a write: empty on success, else the system's description of the error.
struct WriteError {
    std::string description;
};

// Puts the bytes into the file in place of whatever it held: a temporary file in the
// destination's folder, written whole and synced, renamed over the destination, then
// the folder synced. An existing destination keeps its permission bits, and a symbolic
// link is written through to its target and stays a link. On failure the destination
// is untouched and no temporary file is left.
std::optional<WriteError> writeFileAtomically(const std::string& path, const void* data, std::size_t size);

// Creates or truncates the file and writes the bytes into it directly.
std::optional<WriteError> writeFilePlain(const std::string& path, const void* data, std::size_t size);

// An absolute form of the path: relative paths are taken from the current directory.
std::string absolutePath(const std::string& path);

// The last path component ("a.pdf" for "/tmp/a.pdf"; "tmp" for "/tmp/").
std::string lastPathComponent(const std::string& path);

// The path without its last component ("/tmp" for "/tmp/a.pdf", "/" for "/a").
std::string deletingLastPathComponent(const std::string& path);

}  // namespace pw
