// Whether the tests run on Wine rather than on Windows or Linux, for the few behaviours in
// which Wine's system libraries differ from Windows.
#pragma once

namespace tideloom {

bool RunningUnderWine();

} // namespace tideloom
