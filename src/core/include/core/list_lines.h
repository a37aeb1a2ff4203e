// The host answers list functions (WindowNames, ScriptNames, ExecuteSQL rows...) with one entry
// per line; these are the lines.
#pragma once

#include <string_view>
#include <vector>

namespace tideloom {

// The non-empty lines of a host list. Carriage returns and line feeds both end a line, so a
// CR LF pair leaves no empty entry behind; the views point into `list`.
std::vector<std::string_view> HostListLines(std::string_view list);

} // namespace tideloom
