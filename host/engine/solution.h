// A FileMaker solution as the host stand-in models it: open files with their schema and
// scripts, the windows, the account. Read from the JSON solution file format documented in the
// README; unknown members are ignored and every member is optional.
#pragma once

#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace fmhost {

struct SolutionField {
  std::string name;
  std::string type;       // FileMaker_Fields.FieldType, e.g. "varchar" (the default), "decimal"
  std::string fieldClass; // FileMaker_Fields.FieldClass, e.g. "Normal" (the default), "Summary"
};

struct SolutionTable {
  std::string name;
  std::vector<SolutionField> fields;
};

// One step of a script: exactly one of the two is set.
struct SolutionScriptStep {
  std::string saveCopyAsXml; // variable name ("$path") that receives the saved copy's path
  std::string evaluate;      // expression evaluated in the script's file
};

struct SolutionScript {
  std::string name;
  int startError = 0; // what starting the script returns
  std::vector<SolutionScriptStep> steps;
};

struct SolutionFile {
  std::string name;
  std::string databaseName;              // as DatabaseNames lists it; empty means the name
  std::vector<std::string> questionMark; // functions answering "?" in this file
  std::map<std::string, int> failing;    // functions that are an evaluation error (code)
  std::vector<SolutionTable> tables;
  std::vector<SolutionScript> scripts;
  std::vector<std::string> layouts;
  std::vector<std::string> valueLists;
  std::vector<std::string> privilegeSets;
  std::vector<std::string> customFunctions;
};

struct Solution {
  std::string account = "Admin";
  std::string privilegeSet = "[Full Access]";
  std::string persistentId;
  std::string activeFile; // the file of Get(FileName) in the current context; after parsing,
                          // that file's own name (or the first file's, or empty)
  std::vector<std::string> windows; // front to back
  std::vector<SolutionFile> files;

  // The open file with this name (FileMaker compares file names case-insensitively, and
  // accepts the name with or without its ".fmp12" extension); null when not open.
  SolutionFile* FindFile(const std::string& name);
  const SolutionFile* FindFile(const std::string& name) const;
};

struct SolutionError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// Throws SolutionError with a message naming what is wrong.
Solution ParseSolution(const std::string& jsonText);
Solution LoadSolutionFile(const std::string& path);

} // namespace fmhost
