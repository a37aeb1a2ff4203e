// Learning in the background which plug-in version the service offers, and telling a solution
// when it is newer than this one.
#pragma once

#include <cstdint>
#include <string>

namespace tideloom {

// Checks are spaced this far apart by the idle call; registration checks regardless.
inline constexpr int64_t kUpdateCheckSpacingMs = 86'400'000;

// Claims the one check and starts it in the background; does nothing while one runs.
void StartUpdateCheck();

// The idle call's trigger: starts a check when none runs and the last began a day ago or more.
void StartUpdateCheckIfDue();

// The background check: reads "version" from the service's reply into latestVersion.
void RunVersionCheck(const std::string& baseUrl);

// The notice for TideLoom.UpdateAvailable, or empty text when no newer version is known.
std::string UpdateNotice();

} // namespace tideloom
