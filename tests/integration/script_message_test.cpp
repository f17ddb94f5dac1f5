// The page's message as the dispatcher reads it, from values made in a JavaScript
// context as WebKit hands them over: strings kept, everything else absent, and Base64
// decoded in the engine exactly as strictly as the shell's own decoder.

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "common/base64.h"
#include "platform/gtk/gobject_ptr.h"
#include "platform/gtk/gtk_script_message.h"

namespace pw::gtk {
namespace {

class ScriptMessageTest : public ::testing::Test {
protected:
    GObjectPtr<JSCContext> context = GObjectPtr<JSCContext>::adopt(jsc_context_new());

    GObjectPtr<JSCValue> evaluate(const char* script)
    {
        return GObjectPtr<JSCValue>::adopt(jsc_context_evaluate(context.get(), script, -1));
    }

    // An object holding `text` (any bytes of UTF-8, NULs included) under "b64".
    ScriptMessage messageWith(const std::string& text)
    {
        auto object = GObjectPtr<JSCValue>::adopt(jsc_value_new_object(context.get(), nullptr, nullptr));
        const GBytesPtr bytes(g_bytes_new(text.data(), text.size()));
        auto string = GObjectPtr<JSCValue>::adopt(jsc_value_new_string_from_bytes(context.get(), bytes.get()));
        jsc_value_object_set_property(object.get(), "b64", string.get());
        return scriptMessageFrom(object.get());
    }
};

TEST_F(ScriptMessageTest, KeepsOnlyTheStringsOfAPlainObject)
{
    for (const char* notAMessage : {"'{\"type\":\"save\"}'", "42", "['save']", "null", "(() => 1)"})
        EXPECT_FALSE(scriptMessageFrom(evaluate(notAMessage).get()).isObject) << notAMessage;

    const ScriptMessage message =
        scriptMessageFrom(evaluate("({type: 'savepath', id: 7, path: null, dir: {}, name: true, b64: ''})").get());
    ASSERT_TRUE(message.isObject);
    ASSERT_NE(message.field("type"), nullptr);
    EXPECT_EQ(*message.field("type"), "savepath");
    for (const char* absent : {"id", "path", "dir", "name", "kind"}) {
        EXPECT_FALSE(message.has(absent)) << absent;
        EXPECT_EQ(message.field(absent), nullptr) << absent;
        EXPECT_FALSE(message.base64Field(absent)) << absent;
    }
    ASSERT_TRUE(message.base64Field("b64"));
    EXPECT_TRUE(message.base64Field("b64")->empty()) << "an empty text is the Base64 of no bytes";

    const std::string odd("a\0b \xc3\xa9\xe2\x82\xac", 9);
    const ScriptMessage text = messageWith(odd);
    ASSERT_NE(text.field("b64"), nullptr);
    EXPECT_EQ(*text.field("b64"), odd) << "NULs and non-ASCII letters come through unchanged";
}

// Every text the engine's codec is given must get the answer of base64::decode: the
// same bytes, or a refusal.
TEST_F(ScriptMessageTest, DecodesBase64AsStrictlyAsTheShellsDecoder)
{
    std::mt19937 random(11);
    std::vector<std::string> texts = {
        "QQ", "QQ=", "QQ==", "QR==", "QUI=", "QUJ=", "QUJD", "Q===", "====", "QQ==QUJD", "QUJD=", "QU=D",
        "QUJ\xc3\xa9", std::string("QU\0D", 4), "QUJD\n", " QUJD", "QU\tD", "QUJDQU\r\nJD", "QUJD\fQUJD",
        "QUJD    ", "QUJDQQ==    ", "QU    JDQQ==", "-_-_", "QUJD\xe2\x82\xac",
    };
    for (int length = 0; length < 40; ++length) {
        std::vector<std::uint8_t> bytes(length);
        for (auto& b : bytes) b = static_cast<std::uint8_t>(random());
        const std::string encoded = base64::encode(bytes);
        texts.push_back(encoded);
        for (const char* blank : {" ", "\n", "\r", "\t", "\f", "    "}) {
            std::string spaced = encoded;
            spaced.insert(random() % (spaced.size() + 1), blank);
            texts.push_back(spaced);
        }
        if (!encoded.empty()) texts.push_back(encoded.substr(0, encoded.size() - 1));
    }
    std::vector<std::uint8_t> large(3 << 20);
    for (auto& b : large) b = static_cast<std::uint8_t>(random());
    texts.push_back(base64::encode(large));

    for (const std::string& text : texts) {
        const auto expected = base64::decode(text);
        const auto decoded = messageWith(text).base64Field("b64");
        ASSERT_EQ(decoded.has_value(), expected.has_value()) << "\"" << text.substr(0, 40) << "\"";
        if (expected) {
            EXPECT_TRUE(*decoded == *expected) << "\"" << text.substr(0, 40) << "\"";
        }
    }
}

// Decoded bytes may stay in the engine's buffer; they must stay valid there after the
// message is gone and the engine has collected what it no longer reaches.
TEST_F(ScriptMessageTest, DecodedBytesOutliveTheMessage)
{
    std::mt19937 random(5);
    std::vector<std::vector<std::uint8_t>> expected;
    std::vector<SharedBytes> kept;
    for (std::size_t size : {std::size_t{1}, std::size_t{4096}, std::size_t{5} << 20}) {
        std::vector<std::uint8_t> bytes(size);
        for (auto& b : bytes) b = static_cast<std::uint8_t>(random());
        const auto decoded = messageWith(base64::encode(bytes)).base64Field("b64");
        ASSERT_TRUE(decoded);
        kept.push_back(*decoded);
        expected.push_back(std::move(bytes));
    }
    evaluate("for (let i = 0; i < 64; ++i) new Uint8Array(4 << 20).fill(i);");
    for (std::size_t i = 0; i < kept.size(); ++i) {
        ASSERT_EQ(kept[i].size(), expected[i].size());
        EXPECT_TRUE(kept[i] == expected[i]) << expected[i].size() << " bytes";
        EXPECT_EQ(kept[i].copy(), expected[i]);
    }
}

}  // namespace
}  // namespace pw::gtk
