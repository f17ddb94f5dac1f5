#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "common/shared_bytes.h"

namespace pw {

// A string of the page's message left where the message arrived until it is asked
// for. A file's Base64 can be hundreds of megabytes: copying it out as text costs more
// than decoding it where it lies.
class HeldString {
public:
    virtual ~HeldString() = default;
    // The text, copied out on first use.
    virtual const std::string& text() const = 0;
    // The text's bytes under strict Base64 (what base64::decode accepts, nothing else);
    // nullopt when it is not Base64. They may stay where they were decoded.
    virtual std::optional<SharedBytes> base64Bytes() const = 0;
};

// A message posted by the page to the script message handler. Only an object body is
// a message: `isObject` is false for strings, numbers, arrays, null and the like.
// Of the object's own properties only those holding strings are kept, in `strings` or,
// when large, in `held`; a key whose value has any other type is absent, as the
// dispatcher wants it.
struct ScriptMessage {
    bool isObject = false;
    std::map<std::string, std::string> strings;
    std::map<std::string, std::shared_ptr<const HeldString>> held;

    // The string under the key, or nullptr when the key is absent or held another type.
    // A pointer, not a copy: "b64" may be hundreds of megabytes.
    const std::string* field(const std::string& key) const;
    // Whether the key holds a string, without copying a held one out.
    bool has(const std::string& key) const { return strings.count(key) || held.count(key); }

    // The string under the key decoded as strict Base64; nullopt when the key is absent
    // or its text is not Base64.
    std::optional<SharedBytes> base64Field(const std::string& key) const;
};

}  // namespace pw
