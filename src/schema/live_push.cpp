#include "schema/live_push.h"

#include "core/ascii.h"

namespace tideloom {

namespace {

constexpr std::string_view kFmp12Extension = ".fmp12";
constexpr std::string_view kUnnamedUpload = "schema";
constexpr std::string_view kUploadNameSuffix = ".fmp12.xml";

} // namespace

std::string StripFmp12Extension(std::string_view name) {
  if (name.size() > kFmp12Extension.size() && name.ends_with(kFmp12Extension)) {
    name.remove_suffix(kFmp12Extension.size());
  }
  return std::string(name);
}

bool SameSchemaFile(std::string_view target, std::string_view current) {
  return EqualIgnoringAsciiCase(StripFmp12Extension(target), StripFmp12Extension(current));
}

std::string LivePushUploadName(std::string_view sourceFileName) {
  std::string name =
      sourceFileName.empty() ? std::string(kUnnamedUpload) : std::string(sourceFileName);
  name += kUploadNameSuffix;
  return name;
}

} // namespace tideloom
