#include "platform/kernel/command_line.h"

namespace platform {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

std::vector<std::string> SplitCommandLine(std::string_view line) {
  std::vector<std::string> arguments;
  size_t at = 0;
  while (at < line.size() && IsBlank(line[at])) ++at;
  if (at == line.size()) return arguments;
  std::string program;
  if (line[at] == '"') {
    size_t close = line.find('"', at + 1);
    program = line.substr(at + 1, close == std::string_view::npos ? std::string_view::npos : close - at - 1);
    at = close == std::string_view::npos ? line.size() : close + 1;
  } else {
    while (at < line.size() && !IsBlank(line[at])) program += line[at++];
  }
  arguments.push_back(program);
  for (;;) {
    while (at < line.size() && IsBlank(line[at])) ++at;
    if (at == line.size()) break;
    std::string argument;
    bool quoted = false;
    while (at < line.size() && (quoted || !IsBlank(line[at]))) {
      size_t backslashes = 0;
      while (at < line.size() && line[at] == '\\') {
        ++backslashes;
        ++at;
      }
      if (at < line.size() && line[at] == '"') {
        argument.append(backslashes / 2, '\\');
        if (backslashes % 2 == 1) {
          argument += '"';
        } else if (quoted && at + 1 < line.size() && line[at + 1] == '"') {
          argument += '"';
          ++at;
        } else {
          quoted = !quoted;
        }
        ++at;
      } else {
        argument.append(backslashes, '\\');
        if (at < line.size() && (quoted || !IsBlank(line[at]))) argument += line[at++];
      }
    }
    arguments.push_back(argument);
  }
  return arguments;
}

std::string QuoteArgument(std::string_view argument) {
  if (!argument.empty() && argument.find_first_of(" \t\n\v\"") == std::string_view::npos) {
    return std::string(argument);
  }
  std::string quoted = "\"";
  size_t backslashes = 0;
  for (char c : argument) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    // Backslashes before a quote are doubled, and the quote escaped.
    quoted.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
    backslashes = 0;
    quoted += c;
  }
  quoted.append(backslashes * 2, '\\');
  return quoted + "\"";
}

std::string JoinCommandLine(const std::vector<std::string>& arguments) {
  std::string line;
  for (const std::string& argument : arguments) {
    if (!line.empty()) line += ' ';
    line += QuoteArgument(argument);
  }
  return line;
}

}  // namespace platform
