#include "document_loading.h"

#include <iostream>

#include "score/errors.h"
#include "score/sequence_text.h"
#include "score/text_file.h"

namespace kestu::cli {

bool LoadForCli(ScoreDocument& doc, const std::string& fileName) {
  doc.ResetToNew();
  bool clean = true;
  try {
    const std::string text = ReadTextFile(fileName);
    doc.CurrentFileName = fileName;
    const auto show = [&](const std::string& message) {
      std::cerr << message << '\n';
      clean = false;
    };
    if (ReadSequenceText(doc, text, show) == ReadResult::BadScore) doc.ResetToNew();
  } catch (const std::exception& e) {
    // The default error report: the message with a full stop.
    std::cerr << e.what() << ".\n";
    clean = false;
  }
  return clean;
}

}  // namespace kestu::cli
