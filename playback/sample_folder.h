#pragma once
// Where the 29 samples are read from. The program reads "waves/SoundN.wav" relative to the current
// folder; started anywhere else (from a terminal in home, from the desktop with a score) it still
// finds its sounds: next the samples beside the executable (the build folder, which runs as it
// stands), then the installed data folder (PREFIX/share/kestu-sequencer beside PREFIX/bin).
// The window and kestu-cli both choose through FindSampleFolder. Any thread; reads the file system.
#include <string>
#include <vector>

namespace kestu {

// The folder that holds the running executable (links resolved), or "" when it cannot be told.
std::string ExecutableFolder();

// The installed data folder of the running executable: PREFIX/share/kestu-sequencer for
// PREFIX/bin/kestu, whatever prefix the tree was installed with. "" when it cannot be told.
std::string InstalledDataFolder();

// The folders looked in, in order: "" (the current folder), the executable's folder and the
// installed data folder, without repeats.
std::vector<std::string> SampleFolderCandidates();

// The first candidate whose waves/ holds at least one of the 29 sample files; "" (the current
// folder, where the missing files are then reported) when none does. A folder is taken whole, so
// samples of one set are never mixed with another's.
std::string ChooseSampleFolder(const std::vector<std::string>& candidates);

// ChooseSampleFolder(SampleFolderCandidates()).
std::string FindSampleFolder();

}  // namespace kestu
