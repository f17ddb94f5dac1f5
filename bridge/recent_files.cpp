#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>

#include <unicode/bytestream.h>
#include <unicode/normalizer2.h>

#include "bridge/app_page.h"
#include "bridge/bridge.h"
#include "common/utf8.h"
#include "ocr/native_ocr.h"
#include "platform/file_io.h"
#include "platform/preferences.h"
#include "platform/web_view.h"
#include "platform/workspace.h"

namespace pw {

namespace {

constexpr std::size_t maxStoredRecents = 10;

// The path in canonical composed form, so that "é" typed as one letter and as "e" plus
// a combining accent compare equal. Text that is not UTF-8 has no canonical form and
// stays as it is: it can only ever equal itself byte for byte.
std::string canonicalPath(std::string_view path)
{
    if (!isUtf8(path)) return std::string(path);
    UErrorCode status = U_ZERO_ERROR;
    const icu::Normalizer2* nfc = icu::Normalizer2::getNFCInstance(status);
    if (U_FAILURE(status)) return std::string(path);
    std::string out;
    icu::StringByteSink<std::string> sink(&out, static_cast<std::int32_t>(path.size()));
    nfc->normalizeUTF8(0, icu::StringPiece(path.data(), static_cast<std::int32_t>(path.size())), sink, nullptr,
                       status);
    return U_SUCCESS(status) ? out : std::string(path);
}

// An entry is a text-to-text dictionary; anything else spoils the whole list.
bool isEntry(const nlohmann::json& entry)
{
    if (!entry.is_object()) return false;
    for (const auto& [key, value] : entry.items())
        if (!value.is_string()) return false;
    return true;
}

// The stored list, newest first, or an empty one when the value does not fit.
nlohmann::json storedRecents(const Preferences& preferences)
{
    auto stored = preferences.get(Bridge::recentKey);
    if (!stored.is_array()) return nlohmann::json::array();
    for (const auto& entry : stored)
        if (!isEntry(entry)) return nlohmann::json::array();
    return stored;
}

// Drops the entries whose "path" is canonically equivalent to `path`; entries without
// a path stay.
nlohmann::json withoutPath(const nlohmann::json& list, std::string_view path)
{
    const std::string wanted = canonicalPath(path);
    auto kept = nlohmann::json::array();
    for (const auto& entry : list) {
        auto it = entry.find("path");
        if (it != entry.end() && canonicalPath(it->get_ref<const std::string&>()) == wanted) continue;
        kept.push_back(entry);
    }
    return kept;
}

// True for any existing file or folder, following symbolic links.
bool existsOnDisk(const std::string& path)
{
    std::error_code ignored;
    return !path.empty() && std::filesystem::exists(path, ignored);
}

}  // namespace

nlohmann::json Bridge::recents() const
{
    // Entries of missing files are only hidden: they come back if the file does.
    auto shown = nlohmann::json::array();
    for (const auto& entry : storedRecents(*services_.preferences)) {
        auto it = entry.find("path");
        if (it != entry.end() && existsOnDisk(it->get_ref<const std::string&>())) shown.push_back(entry);
    }
    return shown;
}

std::string Bridge::recentsJS() const
{
    const auto list = NativeOCR::compactJSON(recents());
    return "window.__nativeRecent = " + list.value_or("[]") + ";";
}

void Bridge::remember(const std::string& path)
{
    const std::string absolute = absolutePath(path);
    // A name that is not UTF-8 cannot be stored as text without mangling it into a
    // path that names nothing, and the page could never hand it back; the desktop's
    // list takes it as a URI and keeps it exact.
    if (isUtf8(absolute)) {
        auto list = withoutPath(storedRecents(*services_.preferences), absolute);
        list.insert(list.begin(), nlohmann::json{{"name", lastPathComponent(absolute)}, {"path", absolute}});
        if (list.size() > maxStoredRecents) list.erase(list.begin() + static_cast<std::ptrdiff_t>(maxStoredRecents), list.end());
        services_.preferences->set(recentKey, list);
    }
    if (services_.workspace) services_.workspace->noteRecentDocument(absolute);
    if (auto view = web.lock()) evaluateOnAppPage(*view, recentsJS());
}

void Bridge::forget(const std::string& path)
{
    // Stored whole even when nothing matched, so a list that did not fit becomes an
    // empty one here too.
    services_.preferences->set(recentKey, withoutPath(storedRecents(*services_.preferences), path));
    if (auto view = web.lock()) evaluateOnAppPage(*view, recentsJS());
}

}  // namespace pw
