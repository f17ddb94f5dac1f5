#include "platform/script_message.h"

#include <utility>

#include "common/base64.h"

namespace pw {

const std::string* ScriptMessage::field(const std::string& key) const
{
    if (auto it = strings.find(key); it != strings.end()) return &it->second;
    if (auto it = held.find(key); it != held.end()) return &it->second->text();
    return nullptr;
}

std::optional<SharedBytes> ScriptMessage::base64Field(const std::string& key) const
{
    if (auto it = held.find(key); it != held.end()) return it->second->base64Bytes();
    const std::string* text = field(key);
    if (!text) return std::nullopt;
    auto bytes = base64::decode(*text);
    if (!bytes) return std::nullopt;
    return SharedBytes(std::move(*bytes));
}

}  // namespace pw
