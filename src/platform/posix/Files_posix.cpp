// Crash-safe replacement of a whole file: temporary file in the same folder,
// fsync, rename over the old one, fsync the folder so the rename itself is
// on disk.
#include "platform/Files.h"

#include "platform/posix/UniqueFd.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <system_error>

namespace postern {

namespace {

std::string PathText(const std::filesystem::path& path)
{
    return path.string();
}

std::string Reason()
{
    // strerror may share one buffer between threads; saves run on several.
    return std::generic_category().message(errno);
}

bool WriteAll(int fd, std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

} // namespace

bool WriteFileAtomically(const std::filesystem::path& path, std::string_view bytes,
                         std::string& error)
{
    if (path.empty() || !path.has_filename()) {
        error = "cannot write " + PathText(path) + ": not a file name";
        return false;
    }
    const std::filesystem::path folder =
        path.has_parent_path() ? path.parent_path() : std::filesystem::path(".");

    // mkostemp creates the file with O_EXCL and mode 0600: nobody else can
    // read what is being written, and no existing file is ever opened.
    std::string pattern = (folder / ("." + path.filename().string() + ".tmp-XXXXXX")).string();
    posix::UniqueFd file(mkostemp(pattern.data(), O_CLOEXEC));
    if (!file.Valid()) {
        error = "cannot create a temporary file in " + PathText(folder) + ": " + Reason();
        return false;
    }
    const std::string temporary = pattern;
    auto fail = [&](const std::string& what) {
        error = what + ": " + Reason();
        file.Reset();
        ::unlink(temporary.c_str());
        return false;
    };

    if (!WriteAll(file.Get(), bytes))
        return fail("cannot write " + temporary);
    if (::fsync(file.Get()) != 0)
        return fail("cannot flush " + temporary);
    if (::close(file.Release()) != 0)
        return fail("cannot close " + temporary);
    if (::rename(temporary.c_str(), PathText(path).c_str()) != 0)
        return fail("cannot replace " + PathText(path));

    // Without this the new directory entry may not survive a crash. A folder
    // that cannot be opened or synced does not undo the write.
    posix::UniqueFd directory(::open(PathText(folder).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (directory.Valid())
        ::fsync(directory.Get());
    return true;
}

bool WriteWholeFile(const std::filesystem::path& path, std::string_view bytes, std::string& error)
{
    if (path.empty() || !path.has_filename()) {
        error = "cannot write " + PathText(path) + ": not a file name";
        return false;
    }
    // Mode 0666 less the umask, as any program's new files.
    posix::UniqueFd file(::open(PathText(path).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
    if (!file.Valid()) {
        const std::string reason = Reason();
        error = "cannot create " + PathText(path) + ": " + reason;
        return false;
    }
    if (!WriteAll(file.Get(), bytes) || ::close(file.Release()) != 0) {
        const std::string reason = Reason();
        error = "cannot write " + PathText(path) + ": " + reason;
        file.Reset();
        ::unlink(PathText(path).c_str());
        return false;
    }
    return true;
}

} // namespace postern
