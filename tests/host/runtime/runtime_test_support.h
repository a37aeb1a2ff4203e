// What the host runtime's tests share: the fake plug-in and a small solution.
#pragma once

#include <string>

#include "fmhost_api.h"

namespace fmhost_test {

// Main.fmp12 (active; scripts "Save", "Refused" failing with 825, "Loop" starting itself) and
// Other.fmp12 (script "Only Other").
inline const char* const kSolutionJson = R"json({
  "activeFile": "Main.fmp12",
  "windows": ["Main", "Other"],
  "files": [
    {"name": "Main.fmp12",
     "tables": [{"name": "People", "fields": [{"name": "Name"}]}],
     "scripts": [
       {"name": "Save", "steps": [{"saveCopyAsXml": "$path"}, {"evaluate": "Fake.Mark ( $path )"}]},
       {"name": "Refused", "startError": 825, "steps": [{"evaluate": "Fake.Mark ( \"refused\" )"}]},
       {"name": "Loop", "steps": [{"evaluate": "Fake.StartScript ( \"Loop\" )"}]}
     ]},
    {"name": "Other.fmp12",
     "scripts": [{"name": "Only Other", "steps": [{"evaluate": "Fake.Mark ( \"other\" )"}]}]}
  ]
})json";

inline std::string FakePluginPath() { return FAKE_PLUGIN_PATH; }

} // namespace fmhost_test
