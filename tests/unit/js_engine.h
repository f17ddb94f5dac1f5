#pragma once

#include <jsc/jsc.h>

#include <optional>
#include <string>
#include <string_view>

namespace pw::testing {

// A JavaScriptCore context for checking the script text we generate in a real engine.
// Needs no display. One context keeps its globals across evaluations.
class JsEngine {
public:
    JsEngine() : context_(jsc_context_new()) {}
    ~JsEngine() { g_object_unref(context_); }
    JsEngine(const JsEngine&) = delete;
    JsEngine& operator=(const JsEngine&) = delete;

    // The value of `script` when it evaluates without an exception to a string, as
    // UTF-8 (embedded NULs kept); nullopt otherwise, with the reason in lastError().
    std::optional<std::string> evaluateString(std::string_view script)
    {
        JSCValue* value = evaluate(script);
        if (!value) return std::nullopt;
        std::optional<std::string> text;
        if (jsc_value_is_string(value)) {
            GBytes* bytes = jsc_value_to_string_as_bytes(value);
            gsize size = 0;
            const auto* data = static_cast<const char*>(g_bytes_get_data(bytes, &size));
            text.emplace(data ? data : "", size);
            g_bytes_unref(bytes);
        } else {
            lastError_ = "not a string";
        }
        g_object_unref(value);
        return text;
    }

    // Runs `script` for its effects; false when it threw.
    bool run(std::string_view script)
    {
        JSCValue* value = evaluate(script);
        if (value) g_object_unref(value);
        return value != nullptr;
    }

    const std::string& lastError() const { return lastError_; }

private:
    JSCValue* evaluate(std::string_view script)
    {
        lastError_.clear();
        jsc_context_clear_exception(context_);
        JSCValue* value = jsc_context_evaluate(context_, script.data(), static_cast<gssize>(script.size()));
        if (JSCException* exception = jsc_context_get_exception(context_)) {
            const char* message = jsc_exception_get_message(exception);
            lastError_ = message ? message : "exception";
            jsc_context_clear_exception(context_);
            if (value) g_object_unref(value);
            return nullptr;
        }
        return value;
    }

    JSCContext* context_;
    std::string lastError_;
};

}  // namespace pw::testing
