#include "mail/AddressList.h"

#include "platform/AsciiText.h"

namespace postern {

std::vector<MailAddress> SplitAddressList(std::string_view text, std::vector<std::string>* withoutAddress)
{
    std::vector<MailAddress> out;
    std::string phrase;     // outside brackets and comments, quotes kept
    std::string name;       // the same without the quotes
    std::string angle;      // the current bracket's content
    std::string lastAngle;  // the last closed bracket's content
    bool haveAngle = false;
    bool quoted = false;
    bool escaped = false;
    bool inAngle = false;
    int commentDepth = 0;
    size_t entryStart = 0;
    const auto finish = [&](size_t entryEnd) {
        MailAddress entry;
        if (haveAngle) {
            entry.address = std::string(TrimAsciiSpace(lastAngle));
            entry.name = std::string(TrimAsciiSpace(name));
        } else if (!inAngle) {
            entry.address = std::string(TrimAsciiSpace(phrase));
        }
        if (entry.address.find('@') != std::string::npos) {
            out.push_back(std::move(entry));
        } else if (withoutAddress) {
            const std::string_view raw = TrimAsciiSpace(text.substr(entryStart, entryEnd - entryStart));
            if (!raw.empty())
                withoutAddress->emplace_back(raw);
        }
        entryStart = entryEnd + 1;
        phrase.clear();
        name.clear();
        angle.clear();
        lastAngle.clear();
        haveAngle = quoted = escaped = inAngle = false;
        commentDepth = 0;
    };
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (inAngle) {
            if (c == '>') {
                inAngle = false;
                haveAngle = true;
                lastAngle.swap(angle);
                angle.clear();
            } else {
                angle.push_back(c);
            }
            continue;
        }
        if (escaped) {
            escaped = false;
            phrase.push_back(c);
            name.push_back(c);
            continue;
        }
        if (quoted || commentDepth > 0) {
            if (c == '\\') {
                escaped = true;
                if (quoted)
                    phrase.push_back(c);
                continue;
            }
            if (commentDepth > 0) {
                if (c == '(')
                    ++commentDepth;
                else if (c == ')')
                    --commentDepth;
                continue; // comments say nothing about where mail goes
            }
            phrase.push_back(c);
            if (c == '"')
                quoted = false;
            else
                name.push_back(c);
            continue;
        }
        switch (c) {
        case '"':
            quoted = true;
            phrase.push_back(c);
            break;
        case '(':
            commentDepth = 1;
            break;
        case '<':
            inAngle = true;
            angle.clear();
            break;
        case '>':
            break;
        case ',':
        case ';':
            finish(i);
            break;
        case ':':
            // A group's display name ends here; its members follow.
            phrase.clear();
            name.clear();
            break;
        default:
            phrase.push_back(c);
            name.push_back(c);
            break;
        }
    }
    finish(text.size());
    return out;
}

std::vector<std::string> ExtractAddresses(std::string_view text)
{
    std::vector<std::string> addresses;
    for (MailAddress& entry : SplitAddressList(text))
        addresses.push_back(std::move(entry.address));
    return addresses;
}

std::string FormatAddress(std::string_view name, std::string_view address)
{
    if (name.empty())
        return std::string(address);
    std::string cleaned;
    bool special = false;
    for (char c : name) {
        if (c == '"' || c == '\\')
            continue; // nothing reads the escapes back reliably
        special = special || std::string_view("()<>[]:;@,.").find(c) != std::string_view::npos;
        cleaned.push_back(c);
    }
    return (special ? "\"" + cleaned + "\"" : cleaned) + " <" + std::string(address) + ">";
}

} // namespace postern
