#pragma once
// The commands of kestu-cli. Each takes the arguments after its name and returns the exit status.
#include <string>
#include <vector>

namespace kestu::cli {

using Args = std::vector<std::string>;

int Check(const Args& args);     // check FILE
int Midi(const Args& args);      // midi FILE OUT.mid
int Render(const Args& args);    // render FILE OUT.wav [--loops N]
int Snapshot(const Args& args);  // snapshot FILE OUT.png [--scroll S]

}  // namespace kestu::cli
