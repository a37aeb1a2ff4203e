// The relay's web page: files from relay/web compiled into the binary, and how they are served.
#pragma once

#include <span>
#include <string_view>

struct WebAsset {
  std::string_view name; // the file name, also its path below "/"
  std::string_view bytes;
};

// Generated at build time from relay/web.
std::span<const WebAsset> EmbeddedWebAssets();

// nullptr when `assets` holds no file of that name.
const WebAsset* FindWebAsset(std::span<const WebAsset> assets, std::string_view name);

// The Content-Type a browser needs for a file of this name, chosen by its extension.
std::string_view WebContentType(std::string_view name);
