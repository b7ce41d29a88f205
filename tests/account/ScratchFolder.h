// A fresh folder per test under the system's temporary folder, removed
// afterwards. Natively it also becomes the roaming data folder
// (XDG_CONFIG_HOME) for the test's duration, so the settings file and the
// secrets key of a test never touch the user's own; under Windows the known
// folder cannot be redirected and tests use explicit paths instead.
#pragma once

#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

namespace postern::test {

class ScratchFolder : public TempFolder {
public:
    ScratchFolder()
    {
#ifndef _WIN32
        if (const char* old = std::getenv("XDG_CONFIG_HOME")) {
            hadConfigHome_ = true;
            oldConfigHome_ = old;
        }
        RedirectRoaming(Path() / "roaming");
#endif
    }

    ~ScratchFolder()
    {
#ifndef _WIN32
        if (hadConfigHome_)
            setenv("XDG_CONFIG_HOME", oldConfigHome_.c_str(), 1);
        else
            unsetenv("XDG_CONFIG_HOME");
#endif
    }

    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

#ifndef _WIN32
    // Natively this stands in for another user or machine: a new roaming
    // folder brings a new secrets key.
    static void RedirectRoaming(const std::filesystem::path& folder)
    {
        setenv("XDG_CONFIG_HOME", folder.c_str(), 1);
    }
#endif

private:
#ifndef _WIN32
    bool hadConfigHome_ = false;
    std::string oldConfigHome_;
#endif
};

} // namespace postern::test
