#include "engine/solution.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <nlohmann/json.hpp>
#include <utility>

#include "engine/calc_text.h"

namespace fmhost {
namespace {

using Json = nlohmann::json;

// Error codes a solution may make a function fail with fit the host's 16-bit code.
constexpr int kMaxFailingCode = 32767;

// Where a member sits in the solution, for messages such as files[0].tables[2].name.
std::string Child(const std::string& path, const std::string& member) {
  return path.empty() ? member : path + "." + member;
}
std::string Element(const std::string& path, std::size_t index) {
  return path + "[" + std::to_string(index) + "]";
}

[[noreturn]] void Fail(const std::string& path, const std::string& problem) {
  throw SolutionError("solution: " + path + " " + problem);
}

const Json* Member(const Json& object, const char* name) {
  const auto found = object.find(name);
  return found == object.end() || found->is_null() ? nullptr : &*found;
}

void ReadString(const Json& object, const char* name, const std::string& path, std::string& out) {
  const Json* value = Member(object, name);
  if (value == nullptr) return;
  if (!value->is_string()) Fail(Child(path, name), "must be a string");
  out = value->get<std::string>();
}

std::string RequiredName(const Json& object, const std::string& path) {
  std::string name;
  ReadString(object, "name", path, name);
  if (name.empty()) Fail(Child(path, "name"), "must be a non-empty string");
  return name;
}

const Json& RequireObject(const Json& value, const std::string& path) {
  if (!value.is_object()) Fail(path, "must be an object");
  return value;
}

// Calls read(element, elementPath) for each element of an optional array member.
template <typename Read>
void ForEachElement(const Json& object, const char* name, const std::string& path, Read read) {
  const Json* array = Member(object, name);
  if (array == nullptr) return;
  const std::string arrayPath = Child(path, name);
  if (!array->is_array()) Fail(arrayPath, "must be an array");
  for (std::size_t i = 0; i < array->size(); ++i)
    read((*array)[i], Element(arrayPath, i));
}

// A list of names: each element a string, or an object with a "name" like a table's.
std::vector<std::string> ReadNames(const Json& object, const char* name, const std::string& path) {
  std::vector<std::string> names;
  ForEachElement(object, name, path, [&](const Json& element, const std::string& elementPath) {
    if (element.is_string()) {
      names.push_back(element.get<std::string>());
    } else if (element.is_object()) {
      names.push_back(RequiredName(element, elementPath));
    } else {
      Fail(elementPath, "must be a string or an object with a \"name\"");
    }
  });
  return names;
}

SolutionTable ReadTable(const Json& json, const std::string& path) {
  SolutionTable table;
  table.name = RequiredName(RequireObject(json, path), path);
  ForEachElement(json, "fields", path, [&](const Json& element, const std::string& fieldPath) {
    SolutionField field;
    field.name = RequiredName(RequireObject(element, fieldPath), fieldPath);
    field.type = "varchar";
    field.fieldClass = "Normal";
    ReadString(element, "type", fieldPath, field.type);
    ReadString(element, "class", fieldPath, field.fieldClass);
    table.fields.push_back(std::move(field));
  });
  return table;
}

SolutionScript ReadScript(const Json& json, const std::string& path) {
  SolutionScript script;
  script.name = RequiredName(RequireObject(json, path), path);
  if (const Json* startError = Member(json, "startError")) {
    if (!startError->is_number_integer() ||
        startError->get<long long>() < std::numeric_limits<int>::min() ||
        startError->get<long long>() > std::numeric_limits<int>::max()) {
      Fail(Child(path, "startError"), "must be an integer");
    }
    script.startError = startError->get<int>();
  }
  ForEachElement(json, "steps", path, [&](const Json& element, const std::string& stepPath) {
    RequireObject(element, stepPath);
    SolutionScriptStep step;
    ReadString(element, "saveCopyAsXml", stepPath, step.saveCopyAsXml);
    ReadString(element, "evaluate", stepPath, step.evaluate);
    const bool save = Member(element, "saveCopyAsXml") != nullptr;
    const bool evaluate = Member(element, "evaluate") != nullptr;
    if (save == evaluate) {
      Fail(stepPath, "must have exactly one of \"saveCopyAsXml\" and \"evaluate\"");
    }
    if (save && (step.saveCopyAsXml.size() < 2 || step.saveCopyAsXml.front() != '$')) {
      Fail(Child(stepPath, "saveCopyAsXml"), "must name a variable such as \"$path\"");
    }
    script.steps.push_back(std::move(step));
  });
  return script;
}

SolutionFile ReadFile(const Json& json, const std::string& path) {
  SolutionFile file;
  file.name = RequiredName(RequireObject(json, path), path);
  ReadString(json, "databaseName", path, file.databaseName);
  file.questionMark = ReadNames(json, "questionMark", path);
  if (const Json* failing = Member(json, "failing")) {
    const std::string failingPath = Child(path, "failing");
    if (!failing->is_object()) Fail(failingPath, "must be an object of function names and codes");
    for (const auto& [function, code] : failing->items()) {
      if (!code.is_number_integer() || code.get<long long>() < 1 ||
          code.get<long long>() > kMaxFailingCode) {
        Fail(Child(failingPath, function),
             "must be an error code from 1 to " + std::to_string(kMaxFailingCode));
      }
      file.failing[function] = code.get<int>();
    }
  }
  ForEachElement(json, "tables", path, [&](const Json& element, const std::string& tablePath) {
    file.tables.push_back(ReadTable(element, tablePath));
  });
  ForEachElement(json, "scripts", path, [&](const Json& element, const std::string& scriptPath) {
    file.scripts.push_back(ReadScript(element, scriptPath));
  });
  file.layouts = ReadNames(json, "layouts", path);
  file.valueLists = ReadNames(json, "valueLists", path);
  file.privilegeSets = ReadNames(json, "privilegeSets", path);
  file.customFunctions = ReadNames(json, "customFunctions", path);
  return file;
}

} // namespace

SolutionFile* Solution::FindFile(const std::string& name) {
  return const_cast<SolutionFile*>(std::as_const(*this).FindFile(name));
}

const SolutionFile* Solution::FindFile(const std::string& name) const {
  const std::string key = FileNameKey(name);
  if (key.empty()) return nullptr;
  for (const SolutionFile& file : files) {
    if (FileNameKey(file.name) == key) return &file;
  }
  for (const SolutionFile& file : files) {
    if (!file.databaseName.empty() && FileNameKey(file.databaseName) == key) return &file;
  }
  return nullptr;
}

Solution ParseSolution(const std::string& jsonText) {
  Json json;
  try {
    json = Json::parse(jsonText);
  } catch (const Json::parse_error& error) {
    throw SolutionError(std::string("solution is not valid JSON: ") + error.what());
  }
  if (!json.is_object()) throw SolutionError("solution: the top level must be a JSON object");
  Solution solution;
  ReadString(json, "account", "", solution.account);
  ReadString(json, "privilegeSet", "", solution.privilegeSet);
  ReadString(json, "persistentId", "", solution.persistentId);
  ReadString(json, "activeFile", "", solution.activeFile);
  solution.windows = ReadNames(json, "windows", "");
  ForEachElement(json, "files", "", [&](const Json& element, const std::string& path) {
    SolutionFile file = ReadFile(element, path);
    if (solution.FindFile(file.name) != nullptr) {
      Fail(Child(path, "name"), "\"" + file.name + "\" names a file listed before");
    }
    solution.files.push_back(std::move(file));
  });
  if (!solution.activeFile.empty()) {
    const SolutionFile* active = solution.FindFile(solution.activeFile);
    if (active == nullptr) {
      Fail("activeFile", "\"" + solution.activeFile + "\" names none of the files");
    }
    solution.activeFile = active->name;
  } else if (!solution.files.empty()) {
    solution.activeFile = solution.files.front().name;
  }
  return solution;
}

Solution LoadSolutionFile(const std::string& path) {
  const std::filesystem::path nativePath(std::u8string(path.begin(), path.end()));
  std::ifstream in(nativePath, std::ios::binary);
  if (!in) throw SolutionError("cannot read the solution file " + path);
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) throw SolutionError("cannot read the solution file " + path);
  try {
    return ParseSolution(text);
  } catch (const SolutionError& error) {
    throw SolutionError(path + ": " + error.what());
  }
}

} // namespace fmhost
