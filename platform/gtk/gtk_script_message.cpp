#include "platform/gtk/gtk_script_message.h"

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
            message.strings.emplace(*name, std::string(data ? data : "", size));
            g_bytes_unref(bytes);
        }
        if (property) g_object_unref(property);
    }
    g_strfreev(names);
    return message;
}

}  // namespace pw::gtk
