#include "engine/file_xml.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <string_view>
#include <system_error>

#include "engine/calc_engine.h"
#include "engine/calc_text.h"

namespace fmhost {
namespace {

std::string Utf8Path(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

constexpr std::string_view kReplacementCharacter = "\xEF\xBF\xBD";
constexpr std::string_view kHostVersion = "21.1.1";

// Length of the well-formed UTF-8 sequence at text[i] that XML 1.0 allows, or 0.
std::size_t XmlCharacterLength(std::string_view text, std::size_t i) {
  const auto lead = static_cast<unsigned char>(text[i]);
  if (lead < 0x80) return (lead >= 0x20 || lead == '\t' || lead == '\n' || lead == '\r') ? 1 : 0;
  std::size_t length = 0;
  uint32_t point = 0;
  uint32_t smallest = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2, point = lead & 0x1F, smallest = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3, point = lead & 0x0F, smallest = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4, point = lead & 0x07, smallest = 0x10000;
  } else {
    return 0;
  }
  if (i + length > text.size()) return 0;
  for (std::size_t k = 1; k < length; ++k) {
    const auto next = static_cast<unsigned char>(text[i + k]);
    if ((next & 0xC0) != 0x80) return 0;
    point = (point << 6) | (next & 0x3F);
  }
  const bool allowed = point >= smallest && point <= 0x10FFFF &&
                       !(point >= 0xD800 && point <= 0xDFFF) && point != 0xFFFE && point != 0xFFFF;
  return allowed ? length : 0;
}

// Escapes text for an attribute or element; what XML cannot hold becomes U+FFFD.
void AppendEscaped(std::string& out, std::string_view text) {
  std::size_t i = 0;
  while (i < text.size()) {
    const std::size_t length = XmlCharacterLength(text, i);
    if (length == 0) {
      out += kReplacementCharacter;
      ++i;
      continue;
    }
    switch (text[i]) {
    case '&':
      out += "&amp;";
      break;
    case '<':
      out += "&lt;";
      break;
    case '>':
      out += "&gt;";
      break;
    case '"':
      out += "&quot;";
      break;
    case '\'':
      out += "&apos;";
      break;
    case '\r':
      out += "&#13;";
      break;
    case '\n':
      out += "&#10;";
      break;
    case '\t':
      out += "&#9;";
      break;
    default:
      out.append(text.substr(i, length));
    }
    i += length;
  }
}

uint64_t Fnv1a(std::string_view text, uint64_t hash) {
  for (const char c : text) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 0x100000001B3ull;
  }
  return hash;
}

// FileMaker gives every object a UUID; here it follows from the object's place and name, so
// that saving the same file twice gives the same XML.
std::string DerivedUuid(std::string_view fileName, std::string_view kind, std::string_view name) {
  std::string key;
  key.append(fileName).append("\x1F").append(kind).append("\x1F").append(name);
  const uint64_t high = Fnv1a(key, 0xCBF29CE484222325ull);
  const uint64_t low = Fnv1a(key, high ^ 0x9E3779B97F4A7C15ull);
  char buffer[40];
  std::snprintf(buffer, sizeof buffer, "%08X-%04X-%04X-%04X-%012llX",
                static_cast<unsigned>(high >> 32), static_cast<unsigned>((high >> 16) & 0xFFFF),
                static_cast<unsigned>(0x4000 | (high & 0x0FFF)),
                static_cast<unsigned>(0x8000 | ((low >> 48) & 0x3FFF)),
                static_cast<unsigned long long>(low & 0xFFFFFFFFFFFFull));
  return buffer;
}

std::string FileNameWithExtension(const SolutionFile& file) {
  if (!file.databaseName.empty()) return file.databaseName;
  return FileNameKey(file.name) == FoldAsciiCase(file.name) ? file.name + ".fmp12" : file.name;
}

std::string_view DataType(std::string_view fieldType) {
  const std::string type = FoldAsciiCase(fieldType);
  if (type == "decimal" || type == "int" || type == "integer" || type == "number") return "Number";
  if (type == "date") return "Date";
  if (type == "time") return "Time";
  if (type == "timestamp") return "Timestamp";
  if (type == "binary" || type == "container") return "Binary";
  return "Text";
}

class XmlWriter {
public:
  XmlWriter(std::string& out, const SolutionFile& file) : out_(out), file_(file) {}

  // <name attributes...> at the current depth; attributes alternate name and raw value.
  void Open(std::string_view name, std::initializer_list<std::string_view> attributes = {},
            bool empty = false) {
    Indent();
    out_ += '<';
    out_ += name;
    bool isName = true;
    for (const std::string_view part : attributes) {
      if (isName) {
        out_ += ' ';
        out_ += part;
        out_ += "=\"";
      } else {
        AppendEscaped(out_, part);
        out_ += '"';
      }
      isName = !isName;
    }
    out_ += empty ? "/>\n" : ">\n";
    if (!empty) ++depth_;
  }
  void Empty(std::string_view name, std::initializer_list<std::string_view> attributes) {
    Open(name, attributes, true);
  }
  void Close(std::string_view name) {
    --depth_;
    Indent();
    out_ += "</";
    out_ += name;
    out_ += ">\n";
  }
  void TextElement(std::string_view name, std::string_view text) {
    Indent();
    out_ += '<';
    out_ += name;
    out_ += '>';
    AppendEscaped(out_, text);
    out_ += "</";
    out_ += name;
    out_ += ">\n";
  }
  void Uuid(std::string_view kind, std::string_view name) {
    Indent();
    out_ += "<UUID modifications=\"1\" userName=\"Admin\" accountName=\"Admin\" "
            "timestamp=\"2024-05-14T09:30:00\">";
    out_ += DerivedUuid(file_.name, kind, name);
    out_ += "</UUID>\n";
  }

private:
  void Indent() { out_.append(static_cast<std::size_t>(depth_), '\t'); }

  std::string& out_;
  const SolutionFile& file_;
  int depth_ = 0;
};

void WriteTables(XmlWriter& xml, const SolutionFile& file) {
  const std::string count = std::to_string(file.tables.size());
  xml.Open("BaseTableCatalog", {"membercount", count});
  int id = 129;
  for (const SolutionTable& table : file.tables) {
    const std::string tableId = std::to_string(++id);
    xml.Open("BaseTable", {"id", tableId, "name", table.name});
    xml.Uuid("BaseTable", table.name);
    xml.Empty("TagList", {});
    xml.Close("BaseTable");
  }
  xml.Close("BaseTableCatalog");

  xml.Open("TableOccurrenceCatalog", {"membercount", count});
  id = 1064999;
  int baseId = 129;
  for (const SolutionTable& table : file.tables) {
    const std::string occurrenceId = std::to_string(++id);
    const std::string tableId = std::to_string(++baseId);
    const std::string uuid = DerivedUuid(file.name, "BaseTable", table.name);
    xml.Open("TableOccurrence", {"id", occurrenceId, "name", table.name, "type", "Local"});
    xml.Uuid("TableOccurrence", table.name);
    xml.Empty("BaseTableSourceReference", {"type", "Local"});
    xml.Empty("BaseTableReference", {"id", tableId, "name", table.name, "UUID", uuid});
    xml.Empty("CoordRect", {"top", "40", "left", std::to_string(40 + 240 * (id - 1065000)),
                            "bottom", "220", "right", std::to_string(200 + 240 * (id - 1065000))});
    xml.Close("TableOccurrence");
  }
  xml.Close("TableOccurrenceCatalog");
}

void WriteField(XmlWriter& xml, const SolutionFile& file, const SolutionTable& table,
                const SolutionField& field, int fieldId) {
  const std::string path = table.name + "::" + field.name;
  const std::string id = std::to_string(fieldId);
  const std::string fieldClass = field.fieldClass.empty() ? "Normal" : field.fieldClass;
  const std::string_view dataType = DataType(field.type);
  const std::string comment =
      "Field " + field.name + " of " + table.name + " (" + field.type + ", " + fieldClass + ")";
  xml.Open("Field", {"id", id, "name", field.name, "fieldtype", fieldClass, "datatype", dataType,
                     "comment", comment});
  xml.Uuid("Field", path);
  xml.Empty("TagList", {});
  const bool serial = fieldId == 1 && dataType == "Number";
  xml.Open("AutoEnter",
           {"type", serial ? "SerialNumber" : "None", "allowEditing", serial ? "False" : "True",
            "constant", "False", "furigana", "False", "lookup", "False", "calculation", "False"});
  xml.Empty("Serial", {"nextValue", "1", "increment", "1", "trigger", "OnCreation"});
  xml.Close("AutoEnter");
  xml.Open("Validation",
           {"type", "OnlyDuringDataEntry", "allowOverride", "True", "notEmpty",
            serial ? "True" : "False", "unique", serial ? "True" : "False", "existing", "False",
            "maxLength", "False", "valueList", "False", "calculation", "False", "range", "False"});
  xml.Empty("StrictValidation", {"value", "False"});
  xml.TextElement("ErrorMessage", "");
  xml.Close("Validation");
  xml.Empty("Storage", {"autoIndex", "True", "index", serial ? "All" : "None", "indexLanguage",
                        "English", "global", "False", "maxRepetitions", "1"});
  if (EqualsIgnoringAsciiCase(fieldClass, "Calculated")) {
    xml.Open("Calculation", {"table", table.name});
    xml.TextElement("Text", "/* " + field.name + " */ \"\"");
    xml.Close("Calculation");
  } else if (EqualsIgnoringAsciiCase(fieldClass, "Summary")) {
    xml.Open("SummaryInfo", {"operation", "Total", "restartsForEachSortedGroup", "False"});
    xml.Empty("FieldReference",
              {"id", "1", "name", table.fields.front().name, "UUID",
               DerivedUuid(file.name, "Field", table.name + "::" + table.fields.front().name)});
    xml.Close("SummaryInfo");
  }
  xml.Close("Field");
}

void WriteFields(XmlWriter& xml, const SolutionFile& file) {
  xml.Open("FieldsForTables");
  int tableId = 129;
  for (const SolutionTable& table : file.tables) {
    xml.Open("FieldCatalog");
    xml.Empty("BaseTableReference", {"id", std::to_string(++tableId), "name", table.name, "UUID",
                                     DerivedUuid(file.name, "BaseTable", table.name)});
    xml.Open("ObjectList", {"membercount", std::to_string(table.fields.size())});
    int fieldId = 0;
    for (const SolutionField& field : table.fields)
      WriteField(xml, file, table, field, ++fieldId);
    xml.Close("ObjectList");
    xml.Close("FieldCatalog");
  }
  xml.Close("FieldsForTables");
}

// A catalog of objects known by name only: each gets an id, a UUID and its name.
void WriteNamedCatalog(XmlWriter& xml, const SolutionFile& file, std::string_view catalog,
                       std::string_view element, const std::vector<std::string>& names) {
  xml.Open(catalog, {"membercount", std::to_string(names.size())});
  int id = 0;
  for (const std::string& name : names) {
    xml.Open(element, {"id", std::to_string(++id), "name", name});
    xml.Uuid(element, name);
    if (element == "Layout" && !file.tables.empty()) {
      xml.Empty("TableOccurrenceReference",
                {"id", "1065000", "name", file.tables.front().name, "UUID",
                 DerivedUuid(file.name, "TableOccurrence", file.tables.front().name)});
    } else if (element == "ValueList") {
      xml.Empty("Source", {"value", "Custom"});
      xml.TextElement("CustomValues", name + " A\r" + name + " B");
    } else if (element == "CustomFunction") {
      xml.Empty("Display", {"value", name + " ( value )"});
      xml.Open("Calculation");
      xml.TextElement("Text", "value");
      xml.Close("Calculation");
    }
    xml.Close(element);
  }
  xml.Close(catalog);
}

void WriteScripts(XmlWriter& xml, const SolutionFile& file) {
  xml.Open("ScriptCatalog", {"membercount", std::to_string(file.scripts.size())});
  int id = 0;
  for (const SolutionScript& script : file.scripts) {
    xml.Open("Script", {"id", std::to_string(++id), "name", script.name, "runFullAccess", "False",
                        "isFolder", "False"});
    xml.Uuid("Script", script.name);
    xml.Close("Script");
  }
  xml.Close("ScriptCatalog");

  xml.Open("StepsForScripts");
  id = 0;
  for (const SolutionScript& script : file.scripts) {
    xml.Open("Script");
    xml.Empty("ScriptReference", {"id", std::to_string(++id), "name", script.name, "UUID",
                                  DerivedUuid(file.name, "Script", script.name)});
    xml.Open("ObjectList", {"membercount", std::to_string(script.steps.size())});
    int index = 0;
    for (const SolutionScriptStep& step : script.steps) {
      const std::string stepKey = script.name + "#" + std::to_string(index);
      const bool save = !step.saveCopyAsXml.empty();
      xml.Open("Step", {"index", std::to_string(index++), "id", save ? "3" : "141", "name",
                        save ? "Save a Copy as XML" : "Set Variable", "enable", "True"});
      xml.Uuid("Step", stepKey);
      xml.Open("ParameterValues", {"membercount", save ? "1" : "2"});
      if (save) {
        xml.Open("Parameter", {"type", "Target"});
        xml.Empty("Variable", {"value", step.saveCopyAsXml});
        xml.Close("Parameter");
      } else {
        xml.Open("Parameter", {"type", "Name"});
        xml.Empty("Name", {"value", "$result"});
        xml.Close("Parameter");
        xml.Open("Parameter", {"type", "Calculation"});
        xml.Open("Calculation");
        xml.TextElement("Text", step.evaluate);
        xml.Close("Calculation");
        xml.Close("Parameter");
      }
      xml.Close("ParameterValues");
      xml.Close("Step");
    }
    xml.Close("ObjectList");
    xml.Close("Script");
  }
  xml.Close("StepsForScripts");
}

} // namespace

std::string RenderFileAsXml(const SolutionFile& file) {
  std::string out;
  out.reserve(4096 + 1500 * file.tables.size() * 8);
  out += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
  XmlWriter xml(out, file);
  xml.Open("FMSaveAsXML",
           {"version", "2.2.3.0", "Source", kHostVersion, "File", FileNameWithExtension(file),
            "UUID", DerivedUuid(file.name, "File", file.name)});
  xml.Open("Structure");
  xml.Open("AddAction");
  WriteTables(xml, file);
  WriteFields(xml, file);
  WriteNamedCatalog(xml, file, "ValueListCatalog", "ValueList", file.valueLists);
  WriteNamedCatalog(xml, file, "CustomFunctionsCatalog", "CustomFunction", file.customFunctions);
  WriteScripts(xml, file);
  WriteNamedCatalog(xml, file, "LayoutCatalog", "Layout", file.layouts);
  WriteNamedCatalog(xml, file, "PrivilegeSetsCatalog", "PrivilegeSet", file.privilegeSets);
  xml.Close("AddAction");
  xml.Close("Structure");
  xml.Close("FMSaveAsXML");
  return out;
}

bool SaveXmlCopy(const SolutionFile& file, std::string& path, std::string& error) {
  static std::atomic<unsigned> sequence{0};
  std::error_code code;
  const std::filesystem::path folder = std::filesystem::temp_directory_path(code);
  if (code) {
    error = "no temporary folder: " + code.message();
    return false;
  }
  // ASCII-only names, so that a later delete with narrow-character file functions finds them.
  std::string stem;
  for (const char c : file.name) {
    const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                       c == '-' || c == '_';
    stem += plain ? c : '_';
  }
  const auto stamp =
      static_cast<unsigned long long>(std::chrono::steady_clock::now().time_since_epoch().count());
  const std::string xml = RenderFileAsXml(file);
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string leaf = stem + "_" + std::to_string(stamp % 1000000007ull) + "_" +
                             std::to_string(sequence.fetch_add(1)) + ".xml";
    const std::filesystem::path target = folder / leaf;
    if (std::filesystem::exists(target, code)) continue;
    std::ofstream out(target, std::ios::binary);
    out.write(xml.data(), static_cast<std::streamsize>(xml.size()));
    out.close();
    if (!out) {
      error = "cannot write " + Utf8Path(target);
      return false;
    }
    path = Utf8Path(target);
    return true;
  }
  error = "no free file name in the temporary folder";
  return false;
}

} // namespace fmhost
