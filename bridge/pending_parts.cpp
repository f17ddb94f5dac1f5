// Scaffolding while the bridge's operations are being built in parallel: each owner
// deletes its definitions from here as the real ones land. Must be empty before release.
#include "bridge/bridge.h"

namespace pw {

void Bridge::save(const std::string&, const std::string&, bool) {}
void Bridge::saveToPath(const std::string&, const std::string&, std::vector<std::uint8_t>) {}
void Bridge::saveAs(const std::string&, const std::string&, const std::string&, std::vector<std::uint8_t>) {}
void Bridge::printPDF(std::shared_ptr<PdfDocument>) {}
void Bridge::didReceiveScriptMessage(const ScriptMessage&) {}
NavigationPolicy Bridge::decidePolicy(const NavigationAction&) { return NavigationPolicy::Cancel; }
void Bridge::createWebView(const NavigationAction&) {}
void Bridge::webContentProcessDidTerminate(WebView&) {}
void Bridge::didFinishNavigation() {}
void Bridge::runOpenPanel(bool, std::function<void(ChosenPaths)> done) { done(std::nullopt); }
void Bridge::runAlert(const std::string&) {}
bool Bridge::runConfirm(const std::string&) { return false; }
std::optional<std::string> Bridge::runPrompt(const std::string&, const std::optional<std::string>&) { return std::nullopt; }

}  // namespace pw
