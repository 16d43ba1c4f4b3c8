// cli/commands.h
//
// The subcommands of norvex. Each takes the arguments after its name and answers the exit
// status: 0 clean, 1 differences or conflicts, 2 trouble (one line per problem on stderr).
#pragma once

#include <string>
#include <vector>

using Arguments = std::vector<std::string>;

// norvex check FILE...: reads each outline and prints what it holds, or why it was refused.
int RunCheck(const Arguments& arguments);
