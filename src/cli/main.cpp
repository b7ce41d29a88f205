// postern-cli: the command-line companion of Postern, for diagnosing accounts
// and servers and for scripting set-up. It uses the same core as the program.
#include "cli/Command.h"

#include "platform/Console.h"

#include <cstdio>
#include <string_view>

namespace {

struct Subcommand {
    std::string_view name;
    int (*run)(const postern::cli::Arguments&);
    std::string_view usage;
};

constexpr Subcommand kSubcommands[] = {
    {"probe", postern::cli::RunProbe,
     "probe HOST PORT [--starttls-smtp] [--ca FILE]   connect, handshake, print the greeting"},
    {"imap", postern::cli::RunImap,
     "imap folders|headers MAILBOX [COUNT]|fetch MAILBOX UID|idle MAILBOX SECONDS\n"
     "      --host H --port P --user U [--ca FILE]   an IMAP account; password on stdin"},
    {"account", postern::cli::RunAccount,
     "account add --name N --email E [--display-name D] --imap-host H [--imap-port 993]\n"
     "      --smtp-host H [--smtp-port 465] [--user U]   add an account; password on stdin\n"
     "  account list   list the accounts in the settings file (no secrets)"},
    {"parse", postern::cli::RunParse,
     "parse FILE   parse one message file, print its headers, bodies and parts as JSON"},
    {"send", postern::cli::RunSend,
     "send --host H --port P --user U --from A [--display-name N] --to LINE [--cc LINE]\n"
     "      [--subject S] [--text T] [--html-file F] [--attach PATH...] [--tls implicit|starttls]\n"
     "      [--ca FILE]   build a message and submit it over SMTP; password on stdin"},
    {"bench", postern::cli::RunBench,
     "bench parse   time the message parser over $BENCH_CORPUS ($BENCH_PARSE_LIST, $BENCH_RUNS)"},
    {"page", postern::cli::RunPage,
     "page FILE [FILE...]   print the reading pane's HTML page of a message, or of a conversation"},
    {"detect", postern::cli::RunDetect,
     "detect ADDRESS [--no-network] [--ca FILE]   find the IMAP and SMTP servers of an address"},
    {"oauth", postern::cli::RunOAuth,
     "oauth CLIENT_ID [CLIENT_SECRET]   Google sign-in in the browser; prints the account, never tokens"},
    {"check", postern::cli::RunCheck,
     "check [--ca FILE]   sign every account of config.json in, load its folders and inbox, print what the window would show"},
    {"layout", postern::cli::RunLayout,
     "layout --width W --height H [--dpi D] [--rail R] [--list L] [--rows N] [--scroll S]\n"
     "      the main window's rectangles for a client area, in pixels (for window tests)"},
};

int Usage()
{
    std::fputs("usage: postern-cli COMMAND [ARGS]\n", stderr);
    for (const Subcommand& sub : kSubcommands)
        std::fprintf(stderr, "  %.*s\n", static_cast<int>(sub.usage.size()), sub.usage.data());
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    const std::vector<std::string> args = postern::Utf8Arguments(argc, argv);
    if (args.empty())
        return Usage();
    for (const Subcommand& sub : kSubcommands) {
        if (args[0] == sub.name)
            return sub.run(postern::cli::Arguments(args.begin() + 1, args.end()));
    }
    return Usage();
}
