// JSON reader and writer: any input either fails cleanly or parses to a value
// whose serialized text parses again, and after one round trip the text is
// a fixed point. The first round may change the text: "%g" keeps six digits
// and an escaped zero is dropped on reading.
#include "account/Json.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

bool Reparse(const std::string& text, postern::JsonValue& value)
{
    std::size_t position = 0;
    return postern::JsonParse(text, position, value) && position == text.size();
}

// True when the first serialization already is exact: every number prints
// in full and no string holds a zero byte.
bool ExactlyRepresentable(const postern::JsonValue& value)
{
    using postern::JsonType;
    switch (value.type) {
    case JsonType::Number:
        return value.number >= -9007199254740992.0 && value.number <= 9007199254740992.0
               && static_cast<double>(static_cast<long long>(value.number)) == value.number;
    case JsonType::String:
        return value.text.find('\0') == std::string::npos;
    case JsonType::Array:
        for (const postern::JsonValue& item : value.items) {
            if (!ExactlyRepresentable(item))
                return false;
        }
        return true;
    case JsonType::Object:
        for (const postern::JsonMember& member : value.members) {
            if (member.key.find('\0') != std::string::npos || !ExactlyRepresentable(member.value))
                return false;
        }
        return true;
    default:
        return true;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    postern::JsonValue value;
    std::size_t position = 0;
    std::string error;
    if (!postern::JsonParse(text, position, value, error)) {
        if (error.empty() || position > size || value.type != postern::JsonType::Null)
            std::abort();
        return 0;
    }
    if (position > size)
        std::abort();

    const std::string first = postern::JsonSerialize(value);
    postern::JsonValue again;
    if (!Reparse(first, again))
        std::abort();
    const std::string second = postern::JsonSerialize(again);
    if (ExactlyRepresentable(value) && second != first)
        std::abort();

    postern::JsonValue third;
    if (!Reparse(second, third) || postern::JsonSerialize(third) != second)
        std::abort();
    return 0;
}
