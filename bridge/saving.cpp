#include <filesystem>
#include <optional>
#include <string>
#include <system_error>
#include <utility>

#include <sys/stat.h>

#include "bridge/bridge.h"
#include "bridge/safe_file_name.h"
#include "common/base64.h"
#include "common/language.h"
#include "common/text.h"
#include "platform/file_io.h"
#include "platform/panels.h"
#include "platform/web_view.h"
#include "platform/workspace.h"

namespace pw {

namespace {

std::optional<WriteError> writeAtomically(const std::string& path, const SharedBytes& bytes)
{
    return writeFileAtomically(path, bytes.data(), bytes.size());
}

std::string saveFailureText(const WriteError& error)
{
    return tr("Enregistrement impossible : ", "Could not save: ") + error.description;
}

bool endsWithZip(const std::string& name)
{
    return endsWithIgnoringAsciiCase(name, ".zip");
}

// The share copy: temporary folder / fresh UUID / name, written whole. The copy is
// meant to outlive us (the chosen application reads it later), so it is never removed;
// only a copy that failed part-way is, since nobody could use it.
std::optional<std::string> writeShareCopy(const Workspace& workspace, const std::string& name, const SharedBytes& bytes)
{
    const std::string temporary = workspace.temporaryDirectory();
    const std::string folder = temporary + "/" + workspace.makeUUID();
    std::error_code failed;
    std::filesystem::create_directories(temporary, failed);
    if (failed) return std::nullopt;
    // The temporary directory is open to every local user: the copy is the user's
    // alone, whatever the umask. A folder already there under this name is not ours.
    if (::mkdir(folder.c_str(), 0700) != 0) return std::nullopt;
    const std::string file = folder + "/" + name;
    if (writeFilePlain(file, bytes.data(), bytes.size(), 0600)) {
        std::filesystem::remove(file, failed);
        std::filesystem::remove(folder, failed);
        return std::nullopt;
    }
    return file;
}

}  // namespace

void Bridge::save(const std::string& name, const std::string& b64, bool share)
{
    if (auto bytes = base64::decode(b64)) save(name, SharedBytes(std::move(*bytes)), share);
}

void Bridge::save(const std::string& name, SharedBytes bytes, bool share)
{
    std::string safeName = safeFileName(name);
    if (safeName.empty()) safeName = "document.pdf";

    if (share) {
        const auto file = writeShareCopy(*services_.workspace, safeName, bytes);
        if (!file) return;
        // Offered only while there is a page to have asked for it.
        if (!web.expired()) services_.workspace->share(*file);
        return;
    }

    SavePanelRequest request;
    request.name = safeName;
    request.filter = endsWithZip(safeName) ? FileFilter::Zip : FileFilter::Pdf;
    request.canCreateFolders = true;
    // Written atomically, like every other save: a failed write must not leave the
    // chosen file half-written in place of what it held.
    // The panel service is held weakly: it holds this completion until it answers.
    std::weak_ptr<Panels> weakPanels = services_.panels;
    services_.panels->beginSave(request, [weakPanels, bytes = std::move(bytes)](std::optional<std::string> path) {
        if (!path) return;
        const auto error = writeAtomically(*path, bytes);
        auto panels = weakPanels.lock();
        if (error && panels) panels->alert(tr("Enregistrement impossible", "Could not save"), error->description);
    });
}

void Bridge::saveToPath(const std::string& id, const std::string& path, SharedBytes bytes)
{
    if (const auto error = writeAtomically(path, bytes)) {
        result(id, false, {}, saveFailureText(*error));
        return;
    }
    remember(absolutePath(path));
    result(id, true, path);
}

void Bridge::saveAs(const std::string& name, const std::string& dir, const std::string& id, SharedBytes bytes)
{
    SavePanelRequest request;
    request.name = name;
    request.filter = FileFilter::Pdf;
    request.message = tr("Choisissez le dossier et le nom du fichier", "Choose the folder and file name");
    request.canCreateFolders = true;
    // A document's own path opens the panel in that document's folder.
    request.directory = dir.empty() ? services_.workspace->documentsDirectory()
                                    : deletingLastPathComponent(absolutePath(dir));

    std::weak_ptr<Bridge> weakSelf = weak_from_this();
    services_.panels->beginSave(request, [weakSelf, id, bytes = std::move(bytes)](std::optional<std::string> path) {
        if (!path) {
            if (auto self = weakSelf.lock()) self->result(id, false, {}, "cancel");
            return;
        }
        const auto error = writeAtomically(*path, bytes);
        auto self = weakSelf.lock();
        if (!self) return;
        if (error) {
            self->result(id, false, {}, saveFailureText(*error));
            return;
        }
        self->remember(*path);
        self->result(id, true, *path);
    });
}

}  // namespace pw
