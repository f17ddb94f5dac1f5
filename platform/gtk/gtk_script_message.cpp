#include "platform/gtk/gtk_script_message.h"

#include <memory>
#include <new>
#include <optional>
#include <utility>

#include "common/base64.h"
#include "platform/gtk/gobject_ptr.h"

namespace pw::gtk {

namespace {

// Decodes a string with the engine's own codec, in the context the message arrived in,
// exactly as strictly as base64::decode: whole groups of four, "=" only as the last one
// or two, padding bits zero. fromBase64 skips ASCII whitespace, which the strict
// decoder refuses; a text holding any decodes to fewer bytes than its length promises,
// and is refused for that. null: the engine has no such codec.
constexpr const char* decoderSource = R"((text) => {
    if (typeof Uint8Array.fromBase64 !== 'function') return null;
    if (text.length % 4 !== 0) return false;
    try {
        const bytes = Uint8Array.fromBase64(text, { lastChunkHandling: 'strict' });
        const padding = text.endsWith('==') ? 2 : text.endsWith('=') ? 1 : 0;
        return bytes.length === (text.length / 4) * 3 - padding ? bytes : false;
    } catch {
        return false;
    }
})";

constexpr const char* decoderKey = "pagewick-base64-decoder";

// The decoder, made once for each context and kept with it.
JSCValue* decoderIn(JSCContext* context)
{
    if (auto* kept = static_cast<JSCValue*>(g_object_get_data(G_OBJECT(context), decoderKey))) return kept;
    JSCValue* made = jsc_context_evaluate(context, decoderSource, -1);
    if (!made || !jsc_value_is_function(made)) {
        if (made) g_object_unref(made);
        jsc_context_clear_exception(context);
        return nullptr;
    }
    g_object_set_data_full(G_OBJECT(context), decoderKey, made, g_object_unref);
    return made;
}

std::string textOf(JSCValue* value)
{
    // As bytes, so that a string holding a NUL is not cut short.
    const GBytesPtr bytes(jsc_value_to_string_as_bytes(value));
    gsize size = 0;
    const auto* data = static_cast<const char*>(bytes ? g_bytes_get_data(bytes.get(), &size) : nullptr);
    return std::string(data ? data : "", size);
}

// The bytes of a typed array the decoder made, left in its buffer. Nothing but this
// reference reaches that buffer (no script was given it), so it is never detached and
// its bytes stay where they are for as long as it is held.
SharedBytes bytesOf(JSCValue* array)
{
    gsize length = 0;
    jsc_value_typed_array_get_data(array, &length);
    if (length == 0) return SharedBytes();
    auto buffer = std::make_shared<const GObjectPtr<JSCValue>>(
        GObjectPtr<JSCValue>::adopt(jsc_value_typed_array_get_buffer(array)));
    gsize size = 0;
    const auto* start = static_cast<const std::uint8_t*>(
        *buffer ? jsc_value_array_buffer_get_data(buffer->get(), &size) : nullptr);
    const gsize offset = jsc_value_typed_array_get_offset(array);
    if (start && offset <= size && length <= size - offset) return SharedBytes(buffer, start + offset, length);
    // Not where a buffer of its own would hold it: copied out at once, while the pointer
    // the engine gives is still valid.
    const auto* data = static_cast<const std::uint8_t*>(jsc_value_typed_array_get_data(array, &length));
    return SharedBytes(std::vector<std::uint8_t>(data, data + length));
}

// A string property of the posted object, still in the engine.
class EngineString final : public HeldString {
public:
    explicit EngineString(GObjectPtr<JSCValue> value) : value_(std::move(value)) {}

    const std::string& text() const override
    {
        if (!text_) text_ = textOf(value_.get());
        return *text_;
    }

    std::optional<SharedBytes> base64Bytes() const override
    {
        JSCContext* context = jsc_value_get_context(value_.get());
        JSCValue* decoder = context ? decoderIn(context) : nullptr;
        if (!decoder) return decodedHere();
        const auto result = GObjectPtr<JSCValue>::adopt(
            jsc_value_function_call(decoder, JSC_TYPE_VALUE, value_.get(), G_TYPE_NONE));
        if (jsc_context_get_exception(context)) jsc_context_clear_exception(context);
        if (!result || jsc_value_is_null(result.get())) return decodedHere();
        if (!jsc_value_is_typed_array(result.get())) return std::nullopt;
        return bytesOf(result.get());
    }

private:
    std::optional<SharedBytes> decodedHere() const
    {
        auto bytes = base64::decode(text());
        if (!bytes) return std::nullopt;
        return SharedBytes(std::move(*bytes));
    }

    GObjectPtr<JSCValue> value_;
    mutable std::optional<std::string> text_;
};

}  // namespace

ScriptMessage scriptMessageFrom(JSCValue* value)
{
    ScriptMessage message;
    if (!value || !jsc_value_is_object(value) || jsc_value_is_array(value) || jsc_value_is_function(value))
        return message;
    message.isObject = true;

    const GStrvPtr names(jsc_value_object_enumerate_properties(value));
    if (!names) return message;
    // The strings stay in the engine until the dispatcher reads them: it may want a
    // file's Base64 decoded rather than its text.
    for (gchar** name = names.get(); *name; ++name) {
        auto property = GObjectPtr<JSCValue>::adopt(jsc_value_object_get_property(value, *name));
        if (property && jsc_value_is_string(property.get()))
            message.held.emplace(*name, std::make_shared<EngineString>(std::move(property)));
    }
    return message;
}

}  // namespace pw::gtk
