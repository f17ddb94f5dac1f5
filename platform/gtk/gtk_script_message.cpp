#include "platform/gtk/gtk_script_message.h"

#include <new>

#include "platform/gtk/gobject_ptr.h"

namespace pw::gtk {

ScriptMessage scriptMessageFrom(JSCValue* value)
{
    ScriptMessage message;
    if (!value || !jsc_value_is_object(value) || jsc_value_is_array(value) || jsc_value_is_function(value))
        return message;
    message.isObject = true;

    const GStrvPtr names(jsc_value_object_enumerate_properties(value));
    if (!names) return message;
    for (gchar** name = names.get(); *name; ++name) {
        const auto property = GObjectPtr<JSCValue>::adopt(jsc_value_object_get_property(value, *name));
        if (property && jsc_value_is_string(property.get())) {
            // As bytes, so that a string holding a NUL is not cut short.
            const GBytesPtr bytes(jsc_value_to_string_as_bytes(property.get()));
            gsize size = 0;
            const auto* data = static_cast<const char*>(g_bytes_get_data(bytes.get(), &size));
            try {
                message.strings.emplace(*name, std::string(data ? data : "", size));
            } catch (const std::bad_alloc&) {
                // A value too large to copy makes the message incomplete; the
                // dispatcher drops incomplete messages, as it drops malformed ones.
                message.isObject = false;
                message.strings.clear();
            }
        }
        if (!message.isObject) break;
    }
    return message;
}

}  // namespace pw::gtk
