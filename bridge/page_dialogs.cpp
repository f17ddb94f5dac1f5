#include <functional>
#include <optional>
#include <string>
#include <utility>

#include "bridge/bridge.h"
#include "common/language.h"
#include "platform/panels.h"

namespace pw {

namespace {

FileFilter filterFor(const std::string& choice)
{
    if (choice == "pdf") return FileFilter::Pdf;
    if (choice == "image") return FileFilter::Image;
    return FileFilter::Any;
}

std::string cancelTitle()
{
    return tr("Annuler", "Cancel");
}

}  // namespace

void Bridge::runOpenPanel(bool allowsMultipleSelection, std::function<void(ChosenPaths)> done)
{
    OpenPanelRequest request;
    request.filter = filterFor(nextFilter);
    request.multiple = allowsMultipleSelection;
    // The page's choice covers this one file input only.
    nextFilter.clear();
    // The chosen files go back through the web view's own file input; they are not
    // read, queued or remembered here.
    services_.panels->beginOpen(request, std::move(done));
}

void Bridge::runAlert(const std::string& message)
{
    services_.panels->alert(message, {});
}

bool Bridge::runConfirm(const std::string& message)
{
    return services_.panels->confirm(message, "OK", cancelTitle());
}

std::optional<std::string> Bridge::runPrompt(const std::string& prompt, const std::optional<std::string>& defaultText)
{
    return services_.panels->prompt(prompt, defaultText.value_or(""), "OK", cancelTitle());
}

bool Bridge::runBeforeUnloadConfirm(bool closing)
{
    // The page's own text is not shown: browsers stopped showing it, and a page could
    // use it to pass for the application.
    if (closing)
        return services_.panels->confirmLoss(
            tr("Des modifications ne sont pas enregistrées. Quitter quand même ?",
               "Some changes are not saved. Quit anyway?"),
            tr("Quitter", "Quit"), cancelTitle());
    return services_.panels->confirmLoss(
        tr("Des modifications ne sont pas enregistrées. Quitter la page quand même ?",
           "Some changes are not saved. Leave the page anyway?"),
        tr("Quitter la page", "Leave"), cancelTitle());
}

bool Bridge::runNotRespondingConfirm()
{
    return services_.panels->confirmLoss(
        tr("La page ne répond pas. Fermer quand même ? Les modifications non enregistrées seront perdues.",
           "The page is not responding. Close anyway? Unsaved changes will be lost."),
        tr("Fermer", "Close"), cancelTitle());
}

}  // namespace pw
