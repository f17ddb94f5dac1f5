// The bridge's dispatch on page messages made from fuzz input, with fakes of the
// desktop and one jail folder where every path leads. After every message:
// - nothing outside the jail and the preferences folder is written;
// - a body that is not an object, lacks the launch secret or names no known kind has
//   no effect at all;
// - every script sent to the page calls one of the page's functions;
// - a request with an id is answered once, and a save reported done holds exactly the
//   bytes sent, at a path that names a file.
#include <algorithm>
#include <deque>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

#include "bridge/bridge.h"
#include "common/base64.h"
#include "ocr/native_ocr.h"
#include "platform/file_io.h"
#include "tests/fakes/fake_platform.h"
#include "tests/fakes/fake_text_recognition.h"
#include "tests/fuzz/fuzz_check.h"
#include "tests/fuzz/message_script.h"
#include "tests/fuzz/scratch_dir.h"

namespace {

using namespace pw;
using namespace pw::testing;
using fuzzing::ScriptedMessage;
using Bytes = std::vector<std::uint8_t>;
using Answer = std::optional<std::vector<std::string>>;

constexpr std::string_view kinds[] = {"save",     "share",  "open",  "openpath", "filter",
                                      "savepath", "saveas", "print", "ocr"};

constexpr std::string_view pageFunctions[] = {"window.__nativeResult(", "window.__nativeMsg(", "window.__nativeOpen(",
                                              "window.__nativeOcrResult(", "window.__nativeRecent = "};

// What lives for the whole process: the folders, and the recognition fakes, which are
// installed once as start-up would.
struct World {
    fuzzing::ScratchDir scratch;
    std::string jailFolder = scratch.path() + "/w";
    std::string configFolder = scratch.path() + "/config";
    fuzzing::PathJail jail{jailFolder};
    std::shared_ptr<ManualWorkQueue> workers = std::make_shared<ManualWorkQueue>();

    World()
    {
        std::filesystem::create_directories(jailFolder);
        std::filesystem::create_directories(configFolder);
        NativeOCR::install({std::make_shared<FakeImageDecoder>(), std::make_shared<FakeRecognizer>(), workers});
    }

    void reset() const
    {
        fuzzing::ScratchDir::empty(jailFolder);
        fuzzing::ScratchDir::empty(configFolder);
    }
};

// Relative paths are taken from the current folder, so it is the jail while an input
// runs; libFuzzer reads and writes its own files from the folder it started in.
class InsideFolder {
public:
    explicit InsideFolder(const std::string& folder) : previous_(::open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC))
    {
        if (previous_ < 0 || ::chdir(folder.c_str()) != 0) std::abort();
    }
    ~InsideFolder()
    {
        if (::fchdir(previous_) != 0) std::abort();
        ::close(previous_);
    }
    InsideFolder(const InsideFolder&) = delete;
    InsideFolder& operator=(const InsideFolder&) = delete;

private:
    int previous_;
};

// A fresh bridge and desktop for each input.
struct Desk {
    std::shared_ptr<FakeMainQueue> queue = std::make_shared<FakeMainQueue>();
    std::shared_ptr<FakePanels> panels = std::make_shared<FakePanels>();
    std::shared_ptr<FakeWorkspace> workspace = std::make_shared<FakeWorkspace>();
    std::shared_ptr<FakePrinting> printing = std::make_shared<FakePrinting>();
    std::shared_ptr<FakeWebView> view = std::make_shared<FakeWebView>();
    std::shared_ptr<Bridge> bridge;

    explicit Desk(const World& world)
    {
        workspace->temporary = world.jailFolder + "/share";
        workspace->documents = world.jailFolder;
        auto preferences = std::make_shared<JsonPreferences>(world.configFolder + "/pagewick/preferences.json");
        bridge = std::make_shared<Bridge>(BridgeServices{queue, panels, workspace, printing, preferences});
        bridge->web = view;
    }
};

struct Effects {
    std::size_t scripts = 0, probes = 0, opens = 0, saves = 0, printed = 0, shared = 0, alerts = 0;
    std::string nextFilter;
    std::vector<std::pair<std::string, std::uintmax_t>> files;  // below the scratch folder
    bool operator==(const Effects&) const = default;
};

std::vector<std::pair<std::string, std::uintmax_t>> filesBelow(const std::string& folder)
{
    std::vector<std::pair<std::string, std::uintmax_t>> files;
    std::error_code failed;
    for (auto it = std::filesystem::recursive_directory_iterator(folder, failed);
         !failed && it != std::filesystem::recursive_directory_iterator(); it.increment(failed)) {
        const bool regular = it->is_regular_file(failed);
        files.emplace_back(it->path().lexically_relative(folder).string(), regular ? it->file_size(failed) : 0);
    }
    std::sort(files.begin(), files.end());
    return files;
}

Effects effectsOf(const Desk& desk, const World& world)
{
    return Effects{desk.view->scripts.size(),           desk.view->probes.size(),
                   desk.panels->openRequests.size(),    desk.panels->saveRequests.size(),
                   desk.printing->printed.size(),       desk.workspace->shared.size(),
                   desk.panels->alerts.size(),          desk.bridge->nextFilter,
                   filesBelow(world.scratch.path())};
}

Answer nextAnswer(std::deque<Answer>& answers)
{
    if (answers.empty()) return std::nullopt;
    Answer answer = std::move(answers.front());
    answers.pop_front();
    return answer;
}

// Runs queued work, recognition and due timers, and answers every panel shown, until
// nothing more happens.
void settle(Desk& desk, World& world, std::deque<Answer>& answers)
{
    for (int round = 0; round < 8; ++round) {
        world.workers->runAll();
        desk.queue->advance(1.0);
        bool answered = false;
        while (!desk.panels->pendingSaves.empty()) {
            const Answer answer = nextAnswer(answers);
            desk.panels->answerSave(answer && !answer->empty() ? std::optional(answer->front()) : std::nullopt);
            answered = true;
        }
        while (!desk.panels->pendingOpens.empty()) {
            desk.panels->answerOpen(nextAnswer(answers));
            answered = true;
        }
        if (!answered && desk.queue->postedCount() == 0 && world.workers->queued.empty()) return;
    }
}

std::string tokenFor(const ScriptedMessage& scripted, const Bridge& bridge)
{
    if (scripted.token == ScriptedMessage::Token::Wrong) {
        std::string wrong = bridge.messageGuard().secret();
        wrong.back() = wrong.back() == '0' ? '1' : '0';
        return wrong;
    }
    return bridge.messageGuard().secret();
}

bool admissible(const ScriptedMessage& scripted)
{
    const std::string* type = scripted.message.field("type");
    return scripted.message.isObject && scripted.token == ScriptedMessage::Token::Own && type &&
           std::find(std::begin(kinds), std::end(kinds), *type) != std::end(kinds);
}

std::vector<std::string> repliesOf(const std::vector<std::string>& scripts, std::string_view function)
{
    std::vector<std::string> replies;
    for (const auto& script : scripts)
        if (script.starts_with(function)) replies.push_back(script);
    return replies;
}

bool holdsBytes(const std::string& path, const Bytes& bytes)
{
    const auto written = readWholeFile(absolutePath(path));
    return written && *written == bytes;
}

// One reply for the id: either done at `path` with the file holding exactly the bytes,
// or failed, with no path.
void checkSaveReply(const std::vector<std::string>& scripts, const std::string& id,
                    const std::optional<std::string>& path, const Bytes& bytes)
{
    const auto replies = repliesOf(scripts, "window.__nativeResult(");
    FUZZ_CHECK(replies.size() == 1);
    const std::string head = "window.__nativeResult(" + NativeOCR::lit(id) + ", ";
    if (path && replies[0] == head + "true, " + NativeOCR::lit(*path) + ", " + NativeOCR::lit("") + ")") {
        // A path with a NUL names no file: the system would write to a shorter one.
        FUZZ_CHECK(path->find('\0') == std::string::npos);
        FUZZ_CHECK(holdsBytes(*path, bytes));
        return;
    }
    FUZZ_CHECK(replies[0].starts_with(head + "false, " + NativeOCR::lit("") + ", "));
}

// What an admitted message of each kind must have done, when the page was there to see it.
void checkKind(const ScriptedMessage& scripted, const Desk& desk, const Effects& before,
               const std::vector<std::string>& scripts)
{
    const ScriptMessage& m = scripted.message;
    const std::string& type = *m.field("type");
    const std::string* id = m.field("id");
    const std::string* b64 = m.field("b64");
    const std::string* path = m.field("path");
    const auto bytes = b64 ? base64::decode(*b64) : std::nullopt;
    const Answer firstAnswer = scripted.answers.empty() ? std::nullopt : scripted.answers.front();
    const std::optional<std::string> chosen =
        firstAnswer && !firstAnswer->empty() ? std::optional(firstAnswer->front()) : std::nullopt;

    if (type == "savepath" && id && path && bytes) checkSaveReply(scripts, *id, *path, *bytes);
    if (type == "saveas" && id && bytes) checkSaveReply(scripts, *id, chosen, *bytes);
    if (type != "savepath" && type != "saveas") FUZZ_CHECK(repliesOf(scripts, "window.__nativeResult(").empty());

    if (type == "save" && m.field("name") && bytes && chosen && desk.panels->alerts.size() == before.alerts)
        FUZZ_CHECK(holdsBytes(*chosen, *bytes));
    if (type == "share" && m.field("name") && bytes && desk.workspace->shared.size() > before.shared)
        FUZZ_CHECK(holdsBytes(desk.workspace->shared.back().path, *bytes));
    if (type == "openpath" && path && !repliesOf(scripts, "window.__nativeOpen(").empty())
        FUZZ_CHECK(path->find('\0') == std::string::npos);

    const bool printable = type == "print" && bytes && desk.printing->makeDocument(*bytes) != nullptr;
    FUZZ_CHECK(desk.printing->printed.size() - before.printed == (printable ? 1u : 0u));

    const auto ocrReplies = repliesOf(scripts, "window.__nativeOcrResult(");
    if (type == "ocr" && id && b64) {
        FUZZ_CHECK(ocrReplies.size() == 1);
        FUZZ_CHECK(ocrReplies[0].starts_with("window.__nativeOcrResult(" + NativeOCR::lit(*id) + ", "));
    } else {
        FUZZ_CHECK(ocrReplies.empty());
    }
    if (type == "filter") FUZZ_CHECK(desk.bridge->nextFilter == (m.field("kind") ? *m.field("kind") : ""));
}

void checkConfined(const World& world)
{
    for (const auto& entry : std::filesystem::directory_iterator(world.scratch.path())) {
        const auto name = entry.path().filename();
        FUZZ_CHECK(name == "w" || name == "config");
    }
}

void deliver(const ScriptedMessage& scripted, Desk& desk, World& world)
{
    ScriptMessage message = scripted.message;
    if (scripted.token != ScriptedMessage::Token::None)
        message.strings[MessageGuard::tokenKey] = tokenFor(scripted, *desk.bridge);
    std::deque<Answer> answers(scripted.answers.begin(), scripted.answers.end());

    const Effects before = effectsOf(desk, world);
    if (scripted.withoutView) desk.bridge->web.reset();
    desk.bridge->didReceiveScriptMessage(message);
    settle(desk, world, answers);
    const Effects after = effectsOf(desk, world);
    const std::vector<std::string> scripts(desk.view->scripts.begin() + static_cast<std::ptrdiff_t>(before.scripts),
                                           desk.view->scripts.end());

    checkConfined(world);
    for (const auto& script : scripts)
        FUZZ_CHECK(std::any_of(std::begin(pageFunctions), std::end(pageFunctions),
                               [&](std::string_view f) { return script.starts_with(f); }));
    if (!admissible(scripted)) FUZZ_CHECK(after == before);
    else if (!scripted.withoutView) checkKind(scripted, desk, before, scripts);

    // Files held back while the view was away go to the page once it is back; that
    // belongs to this message, not to the next one.
    desk.bridge->web = desk.view;
    settle(desk, world, answers);
    checkConfined(world);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static World world;
    world.reset();
    const InsideFolder inside(world.jailFolder);
    Desk desk(world);
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    for (const auto& scripted : fuzzing::readMessageScript(text, world.jail)) deliver(scripted, desk, world);
    return 0;
}
