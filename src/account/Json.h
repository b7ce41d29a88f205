// The one JSON reader and writer of the program: the settings file, the lock
// and contact lists, and the JSON answers of the sign-in and autodetection
// servers all go through it. Free functions on plain values, no shared state,
// so worker threads use them as freely as the UI thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace postern {

enum class JsonType : int32_t {
    Null = 0,
    Bool = 1,
    Number = 2,
    String = 3,
    Array = 4,
    Object = 5,
};

struct JsonMember;

struct JsonValue {
    JsonType type = JsonType::Null;
    bool boolean = false; // type Bool
    double number = 0;    // type Number, integral or not
    std::string text;     // type String, UTF-8
    std::vector<JsonValue> items;     // type Array
    std::vector<JsonMember> members; // type Object, document order

    [[nodiscard]] static JsonValue MakeBool(bool value);
    [[nodiscard]] static JsonValue MakeNumber(double value);
    [[nodiscard]] static JsonValue MakeString(std::string value);
    [[nodiscard]] static JsonValue MakeArray();
    [[nodiscard]] static JsonValue MakeObject();

    // Appends without looking for an existing member of that name: duplicate
    // keys are legal here, and lookups see the first one.
    void Add(std::string key, JsonValue value);
    void Push(JsonValue value);

    // The first member whose key equals `key` byte for byte; nullptr when
    // there is none or this is not an object.
    [[nodiscard]] const JsonValue* Find(std::string_view key) const;

    // Typed lookups: each looks at the first member with the key only, so a
    // later duplicate of the right type does not count.
    [[nodiscard]] double NumberMember(std::string_view key, double fallback) const;
    [[nodiscard]] std::string StringMember(std::string_view key, std::string_view fallback) const;
    [[nodiscard]] bool BoolMember(std::string_view key) const; // false when absent or not a bool
    [[nodiscard]] const JsonValue* ObjectMember(std::string_view key) const;
    [[nodiscard]] const JsonValue* ArrayMember(std::string_view key) const;
};

// A named struct rather than std::pair: pair's conditionally explicit
// constructors ask whether JsonValue is default-constructible while
// JsonValue is still being defined, which some compilers reject.
struct JsonMember {
    std::string key;
    JsonValue value;
};

// Deeper documents fail to parse: the reader recurses once per level, and a
// file of nothing but "[" must not be able to exhaust a thread's stack.
inline constexpr int kJsonMaxDepth = 512;

// Parses one value starting at `position` and leaves `position` just after
// it; whatever follows is the caller's business. On failure `value` is null,
// `position` is where reading stopped and `error` says why.
[[nodiscard]] bool JsonParse(std::string_view text, std::size_t& position, JsonValue& value,
                             std::string& error);
[[nodiscard]] bool JsonParse(std::string_view text, std::size_t& position, JsonValue& value);

// Compact text: no spaces, no line breaks.
[[nodiscard]] std::string JsonSerialize(const JsonValue& value);

} // namespace postern
