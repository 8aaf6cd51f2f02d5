// Runs programs through the shell and collects what they printed and their exit code. A program
// of build/bin in a sanitizer build is instrumented too, so any report shows up in `output`.
#pragma once
#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <string>

namespace tooltest {

struct ToolRun {
  int exitCode = -1;
  std::string output;  // what the shell line wrote to standard output
};

inline ToolRun RunCommand(const std::string& shellLine) {
  ToolRun run;
  FILE* pipe = popen(shellLine.c_str(), "r");
  if (!pipe) return run;
  std::array<char, 65536> chunk;
  size_t n;
  while ((n = fread(chunk.data(), 1, chunk.size(), pipe)) > 0) run.output.append(chunk.data(), n);
  const int status = pclose(pipe);
  run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

// `command` starts with the name of a program in build/bin; its standard error is collected too.
inline ToolRun RunTool(const std::string& command, const std::string& environment = "") {
  return RunCommand(environment + " " + std::string(VEMORA_BIN_DIR) + "/" + command + " 2>&1");
}

inline std::string Quote(const std::filesystem::path& p) { return "'" + p.string() + "'"; }

}  // namespace tooltest
