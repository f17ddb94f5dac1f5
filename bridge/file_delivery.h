#pragma once

#include <cstddef>
#include <string>
#include <optional>
#include <string_view>
#include <vector>

#include "platform/file_io.h"
#include "platform/web_view.h"

namespace pw {

// The page's readiness test before any file is handed over.
inline constexpr std::string_view nativeOpenProbe = "typeof window.__nativeOpen === 'function'";

// What the page is told about a file that could not be opened; `name` is its last
// path component. The limit named is maxOpenedFileSize.
std::string unopenedFileText(ReadFailure failure, const std::string& name);

// The page's function that takes an opened file.
inline constexpr std::string_view nativeOpenFunction = "window.__nativeOpen";

// Its arguments for these bytes: the name, the Base64 of the bytes and the path, the
// name "document.pdf" and the path "" when they are not UTF-8 (a Linux name may hold
// any bytes). nullopt when the memory for the Base64 cannot be had.
std::optional<std::vector<PageArgument>> nativeOpenArguments(std::string_view name, const void* data,
                                                             std::size_t size, std::string_view path);

}  // namespace pw
