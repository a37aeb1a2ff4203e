// Who the plug-in is, as the host and the web service see it.
#pragma once

#include <cstdint>
#include <string_view>

namespace tideloom {

// The service's web site; texts shown to people name it without its scheme.
#define TIDELOOM_WEB_HOST "tideloom.app"

inline constexpr std::string_view kVersionText = "1.6.18";
inline constexpr std::string_view kPluginName = "TideLoom";
inline constexpr std::string_view kPluginDescription = "TideLoom background bridge for FileMaker";
inline constexpr char kPluginId[4] = {'T', 'd', 'L', 'm'};
inline constexpr std::string_view kPluginOptions = "TdLm1nnYYnn";
inline constexpr std::string_view kServiceWebHost = TIDELOOM_WEB_HOST;
inline constexpr std::string_view kGuideLocation = TIDELOOM_WEB_HOST "/guide#plugin";
inline constexpr std::string_view kHelpUrl = "https://" TIDELOOM_WEB_HOST "/guide#plugin";
inline constexpr std::string_view kDefaultBaseUrl = "https://api." TIDELOOM_WEB_HOST;

// The host's plug-in interface.
inline constexpr int16_t kLowestRegisteringInterfaceVersion = 56;
inline constexpr int64_t kStartupEnable = 76;
inline constexpr int64_t kStartupRefuse = -2;

enum HostStringId : uint8_t {
  kStringName = 128,
  kStringDescription = 129,
  kStringOptions = 131,
  kStringHelpUrl = 132,
};

} // namespace tideloom
