#include "platform/gtk/posted_message.h"

#include <unistd.h>

#include <memory>
#include <string>
#include <utility>

#include "common/base64.h"
#include "platform/gtk/gobject_ptr.h"
#include "platform/gtk/web_process/web_process_messages.h"
#include "platform/shared_text.h"

namespace pw::gtk {

namespace {

// A field whose text was strict Base64, carried as the bytes it encodes: its text is
// their encoding, made again only if asked for.
class CarriedBytes final : public HeldString {
public:
    explicit CarriedBytes(SharedBytes bytes) : bytes_(std::move(bytes)) {}

    const std::string& text() const override
    {
        if (!text_) text_ = base64::encode(bytes_.data(), bytes_.size());
        return *text_;
    }

    std::optional<SharedBytes> base64Bytes() const override { return bytes_; }

private:
    SharedBytes bytes_;
    mutable std::optional<std::string> text_;
};

std::optional<SharedBytes> mappedFile(GUnixFDList* files, gint32 index)
{
    if (!files || index < 0 || index >= g_unix_fd_list_get_length(files)) return std::nullopt;
    const int fd = g_unix_fd_list_get(files, index, nullptr);  // a duplicate of our own
    if (fd < 0) return std::nullopt;
    auto bytes = mapSealedMemory(fd);
    ::close(fd);
    return bytes;
}

// Adds the fields of a dictionary of handles.
bool addCarried(ScriptMessage& message, GVariant* handles, GUnixFDList* files)
{
    GVariantIter iter;
    g_variant_iter_init(&iter, handles);
    const char* name = nullptr;
    gint32 index = -1;
    while (g_variant_iter_next(&iter, "{&sh}", &name, &index)) {
        auto bytes = mappedFile(files, index);
        if (!bytes) return false;
        message.held[name] = std::make_shared<CarriedBytes>(std::move(*bytes));
    }
    return true;
}

}  // namespace

std::optional<ScriptMessage> postedMessageFrom(GVariant* parameters, GUnixFDList* files)
{
    if (!parameters || !g_variant_is_of_type(parameters, G_VARIANT_TYPE(postedMessageParameters))) return std::nullopt;
    GVariant* strings = nullptr;
    GVariant* bytes = nullptr;
    g_variant_get(parameters, "(@a{say}@a{sh})", &strings, &bytes);
    const GVariantPtr heldStrings(strings), heldBytes(bytes);

    ScriptMessage message;
    message.isObject = true;
    GVariantIter iter;
    g_variant_iter_init(&iter, strings);
    const char* name = nullptr;
    GVariant* value = nullptr;
    while (g_variant_iter_next(&iter, "{&s@ay}", &name, &value)) {
        gsize size = 0;
        const auto* data = static_cast<const char*>(g_variant_get_fixed_array(value, &size, 1));
        const GVariantPtr held(value);
        message.strings[name] = std::string(data ? data : "", size);
    }
    if (!addCarried(message, bytes, files)) return std::nullopt;
    return message;
}

}  // namespace pw::gtk
