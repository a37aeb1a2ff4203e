// A host file reference turned into a path this system's file calls accept. Never fails.
#pragma once

#include <string>
#include <string_view>

namespace tideloom {

std::string NativePathFromHostPath(std::string_view hostPath);

} // namespace tideloom
