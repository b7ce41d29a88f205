// The subcommands of postern-cli. Each takes the arguments after its own name
// and returns the process exit code; output goes to stdout, errors to stderr.
#pragma once

#include <string>
#include <vector>

namespace postern::cli {

using Arguments = std::vector<std::string>;

int RunProbe(const Arguments& args);
int RunImap(const Arguments& args);
int RunAccount(const Arguments& args);
int RunParse(const Arguments& args);
int RunSend(const Arguments& args);
int RunBench(const Arguments& args);
int RunPage(const Arguments& args);
int RunDetect(const Arguments& args);
int RunOAuth(const Arguments& args);
int RunCheck(const Arguments& args);
int RunLayout(const Arguments& args);

} // namespace postern::cli
