// The console side of a command-line program on Windows.
#include "platform/Console.h"

#include "platform/win32/WideText_win.h"

#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <fcntl.h>
#include <io.h>
#include <memory>

namespace postern {

namespace {

struct LocalFreeArguments {
    void operator()(LPWSTR* arguments) const { LocalFree(arguments); }
};

} // namespace

std::vector<std::string> Utf8Arguments(int argc, char** argv)
{
    // argv holds the arguments in the ANSI code page, which cannot carry
    // every character; the wide command line can.
    int count = 0;
    const std::unique_ptr<LPWSTR, LocalFreeArguments> wide(
        CommandLineToArgvW(GetCommandLineW(), &count));
    std::vector<std::string> arguments;
    if (wide && count >= 1) {
        for (int i = 1; i < count; ++i)
            arguments.push_back(FromWide(wide.get()[i]));
        return arguments;
    }
    for (int i = 1; i < argc; ++i)
        arguments.emplace_back(argv[i]);
    return arguments;
}

void SetStandardOutputBinary()
{
    std::fflush(stdout);
    (void)_setmode(_fileno(stdout), _O_BINARY);
}

} // namespace postern
