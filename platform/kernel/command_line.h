// The platform's command-line rules: how one line of text splits into arguments and
// how an argument is quoted so that it splits back unchanged.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace platform {

// The first argument (the program) ends at the next blank, or at the closing double
// quote when it starts with one; backslashes are plain there. In the arguments after
// it, 2n backslashes before a double quote stand for n backslashes and the quote
// opens or closes a quoted part, 2n + 1 for n backslashes and a literal quote; inside
// a quoted part, two double quotes in a row stand for one.
std::vector<std::string> SplitCommandLine(std::string_view line);

// An argument as it must appear in a command line; plain when it needs no quotes.
std::string QuoteArgument(std::string_view argument);

// Arguments joined by blanks, each quoted as needed.
std::string JoinCommandLine(const std::vector<std::string>& arguments);

}  // namespace platform
