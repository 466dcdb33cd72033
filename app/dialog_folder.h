#pragma once
#include <string>

namespace kestu {

// Where the open and save dialogs start when the name they are given holds no folder.
//
// The first time, that is the current folder where the user works there: one they may write, that
// is neither their home (where the desktop starts programs) nor inside the program's own data
// folder (its samples, writable after an install into ~/.local). Otherwise the user's documents
// folder is taken, or home when there is none (and the current folder after all for a user without
// a home). Once the user has opened or saved a file, the dialogs start in that file's folder for
// the rest of the session, unless that folder is the program's own.
class DialogFolder {
 public:
  // `current`: the process's current folder; `documents`: the user's documents folder, which may
  // not exist; `home`: the user's home; `programData`: the program's installed data folder, "" when
  // it has none.
  DialogFolder(std::string current, std::string documents, std::string home, std::string programData = {});

  std::string Start() const;
  // A file the user chose in a dialog that was accepted.
  void Chosen(const std::string& file);

 private:
  bool WorkingFolder(const std::string& folder) const;

  std::string current_, documents_, home_, programData_;
  std::string last_;  // the folder of the last chosen file, empty before the first
};

// Whether this process may create files in `folder` (an existing folder it can write and enter).
bool WritableFolder(const std::string& folder);

}  // namespace kestu
