#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/file_io.h"

namespace pw {

// The page's readiness test before any file is handed over.
inline constexpr std::string_view nativeOpenProbe = "typeof window.__nativeOpen === 'function'";

// What the page is told about a file that could not be opened; `name` is its last
// path component. The limit named is maxOpenedFileSize.
std::string unopenedFileText(ReadFailure failure, const std::string& name);

// window.__nativeOpen(<name>[0], '<Base64 of the bytes>', <path>[0]) inside the app-page
// check: the name and path as one-element JSON arrays ("document.pdf" and "" when they
// cannot be written), the contents in single quotes. Built in one allocation, the
// Base64 encoded in place.
std::string nativeOpenCall(std::string_view name, const void* data, std::size_t size, std::string_view path);

}  // namespace pw
