// "Save a Copy as XML": the rendering itself is declared in calc_engine.h; this writes it out.
#pragma once

#include <string>

#include "engine/solution.h"

namespace fmhost {

// Writes RenderFileAsXml(file) to a new file in the temporary folder; its native path (UTF-8)
// goes to path. False with a reason in error when the file cannot be written.
bool SaveXmlCopy(const SolutionFile& file, std::string& path, std::string& error);

} // namespace fmhost
