#include "platform/script_message.h"

#include "common/base64.h"

namespace pw {

const std::string* ScriptMessage::field(const std::string& key) const
{
    if (auto it = strings.find(key); it != strings.end()) return &it->second;
    if (auto it = held.find(key); it != held.end()) return &it->second->text();
    return nullptr;
}

std::optional<std::vector<std::uint8_t>> ScriptMessage::base64Field(const std::string& key) const
{
    if (auto it = held.find(key); it != held.end()) return it->second->base64Bytes();
    if (const std::string* text = field(key)) return base64::decode(*text);
    return std::nullopt;
}

}  // namespace pw
