#include "platform/gtk/gtk_script_message.h"

#include <new>

namespace pw::gtk {

ScriptMessage scriptMessageFrom(JSCValue* value)
{
    ScriptMessage message;
    if (!value || !jsc_value_is_object(value) || jsc_value_is_array(value) || jsc_value_is_function(value))
        return message;
    message.isObject = true;

    gchar** names = jsc_value_object_enumerate_properties(value);
    if (!names) return message;
    for (gchar** name = names; *name; ++name) {
        JSCValue* property = jsc_value_object_get_property(value, *name);
        if (property && jsc_value_is_string(property)) {
            // As bytes, so that a string holding a NUL is not cut short.
            GBytes* bytes = jsc_value_to_string_as_bytes(property);
            gsize size = 0;
            const auto* data = static_cast<const char*>(g_bytes_get_data(bytes, &size));
            try {
                message.strings.emplace(*name, std::string(data ? data : "", size));
            } catch (const std::bad_alloc&) {
                // A value too large to copy makes the message incomplete; the
                // dispatcher drops incomplete messages, as it drops malformed ones.
                message.isObject = false;
                message.strings.clear();
            }
            g_bytes_unref(bytes);
        }
        if (property) g_object_unref(property);
        if (!message.isObject) break;
    }
    g_strfreev(names);
    return message;
}

}  // namespace pw::gtk
