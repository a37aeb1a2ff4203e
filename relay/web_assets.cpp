#include "relay/web_assets.h"

const WebAsset* FindWebAsset(std::span<const WebAsset> assets, std::string_view name) {
  for (const WebAsset& asset : assets) {
    if (asset.name == name) return &asset;
  }
  return nullptr;
}

std::string_view WebContentType(std::string_view name) {
  struct Kind {
    std::string_view extension;
    std::string_view contentType;
  };
  // Scripts and styles must carry their exact types: browsers refuse them otherwise under nosniff
  // and a strict content security policy.
  static constexpr Kind kKinds[] = {
      {".html", "text/html; charset=utf-8"},
      {".css", "text/css; charset=utf-8"},
      {".js", "text/javascript; charset=utf-8"},
      {".json", "application/json"},
      {".svg", "image/svg+xml"},
      {".png", "image/png"},
      {".ico", "image/x-icon"},
      {".txt", "text/plain; charset=utf-8"},
  };
  for (const Kind& kind : kKinds) {
    if (name.size() > kind.extension.size() && name.ends_with(kind.extension)) {
      return kind.contentType;
    }
  }
  return "application/octet-stream";
}
