#include "platform/Files.h"

#include <fstream>
#include <iterator>

namespace postern {

std::filesystem::path PathFromUtf8(std::string_view utf8)
{
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

std::string PathToUtf8(const std::filesystem::path& path)
{
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

bool ReadWholeFile(const std::filesystem::path& path, std::string& bytes, std::string& error)
{
    // A folder opens as a stream on some systems and then throws on the first
    // read; refuse it up front.
    std::error_code code;
    if (std::filesystem::is_directory(path, code)) {
        error = PathToUtf8(path) + " is a folder, not a file";
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot open " + PathToUtf8(path);
        return false;
    }
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (in.bad()) {
        error = "cannot read " + PathToUtf8(path);
        return false;
    }
    return true;
}

} // namespace postern
