#pragma once
// What every command that writes a file asks before and after writing.
#include <exception>
#include <string>

namespace kestu::cli {

// True, after saying on standard error that the output cannot be made, when `output` names the
// input file itself (compared by device and inode, through links): writing it would lose the input.
bool OutputIsTheInput(const std::string& input, const std::string& output);

// The default error report on standard error (the message and a full stop); returns status 1.
int ReportError(const std::exception& error);

}  // namespace kestu::cli
