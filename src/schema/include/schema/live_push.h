// Naming for TideLoom.LivePush: which file a saved XML copy belongs to, and the name it is
// uploaded under.
#pragma once

#include <string>
#include <string_view>

namespace tideloom {

// `name` without a trailing ".fmp12" (lower case only), unless that is all there is.
std::string StripFmp12Extension(std::string_view name);

// Whether the script's file is the one the schema command asked about. The service may name it
// with or without the extension, in whatever letter case the user typed.
bool SameSchemaFile(std::string_view target, std::string_view current);

// "<source>.fmp12.xml", or "schema.fmp12.xml" for a copy of no known file.
std::string LivePushUploadName(std::string_view sourceFileName);

} // namespace tideloom
