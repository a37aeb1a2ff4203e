#include "platform/clipboard.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <optional>
#include <utility>

#include "platform/clipboard_port.h"
#include "platform/text_conversion.h"

namespace tideloom {

namespace {

// Every message the clipboard reports. None carries a prefix: the callers pass them on as is.
constexpr std::string_view kOpenClipboardFailed = "OpenClipboard failed";
constexpr std::string_view kGlobalAllocFailed = "GlobalAlloc failed";
constexpr std::string_view kGlobalLockFailed = "GlobalLock failed";
constexpr std::string_view kSetUnicodeTextFailed = "SetClipboardData(CF_UNICODETEXT) failed";
constexpr std::string_view kEnumClipboardFormatsFailed = "EnumClipboardFormats failed";

std::string RegisterFailedMessage(std::string_view name) {
  return "RegisterClipboardFormat failed for: " + std::string(name);
}

std::string SetClipboardDataFailedMessage(std::string_view name) {
  return "SetClipboardData failed for: " + std::string(name);
}

struct ExtraFormatNames {
  std::string_view key;
  std::array<std::string_view, 4> names; // unused places stay empty
};

// The names besides "Mac-", "Win-" and the key itself under which the host keeps a type.
constexpr std::array<ExtraFormatNames, 7> kExtraFormatNames = {{
    {"XMSS", {"ScriptStep", "Win-ScriptStep"}},
    {"XMSC", {"Script", "Win-Script"}},
    {"XML2", {"Layout12", "Win-Layout12"}},
    {"XMVL", {"ValueList", "Win-ValueList"}},
    {"XMFN", {"CustomFunction", "Win-CustomFunction"}},
    {"XMFD", {"Field", "FieldDefinition", "Win-Field", "Win-FieldDefinition"}},
    {"XMTB", {"Table", "BaseTable", "Win-Table", "Win-BaseTable"}},
}};

// The order in which an unspecified type is looked for: the most common objects first.
constexpr std::array<std::string_view, 8> kProbeOrder = {"XMSS", "XMSC", "XML2", "XMTB",
                                                         "XMFD", "XMFN", "XMVL", "XMLO"};

constexpr std::array<std::string_view, 17> kStandardFormatNames = {
    "CF_TEXT",        "CF_BITMAP",      "CF_METAFILEPICT", "CF_SYLK",    "CF_DIF",  "CF_TIFF",
    "CF_OEMTEXT",     "CF_DIB",         "CF_PALETTE",      "CF_PENDATA", "CF_RIFF", "CF_WAVE",
    "CF_UNICODETEXT", "CF_ENHMETAFILE", "CF_HDROP",        "CF_LOCALE",  "CF_DIBV5"};

// A registered name's buffer, as the system sizes it (255 characters and the NUL).
constexpr int kFormatNameCapacity = 256;
// There are fewer than 0x10000 format ids, so an enumeration that runs longer is broken.
constexpr uint32_t kMaxEnumeratedFormats = 0x10000;

ClipboardPort& Port() { return ClipboardSystem(); }

// The clipboard, opened without an owner window (one attempt) and closed again on every path.
class OpenedClipboard {
public:
  OpenedClipboard() : open_(Port().openClipboard()) {}
  ~OpenedClipboard() { Close(); }
  OpenedClipboard(const OpenedClipboard&) = delete;
  OpenedClipboard& operator=(const OpenedClipboard&) = delete;

  explicit operator bool() const { return open_; }
  void Close() {
    if (open_) Port().closeClipboard();
    open_ = false;
  }

private:
  bool open_;
};

// A global block that is ours until the clipboard takes it.
class PendingBlock {
public:
  explicit PendingBlock(std::size_t bytes) : block_(Port().globalAllocMovable(bytes)) {}
  ~PendingBlock() {
    if (block_ != nullptr) Port().globalFree(block_);
  }
  PendingBlock(const PendingBlock&) = delete;
  PendingBlock& operator=(const PendingBlock&) = delete;

  GlobalBlock get() const { return block_; }
  void HandOver() { block_ = nullptr; }

private:
  GlobalBlock block_;
};

// A global block's memory, locked for the guard's lifetime.
class LockedBlock {
public:
  explicit LockedBlock(GlobalBlock block) : block_(block), data_(Port().globalLock(block)) {}
  ~LockedBlock() {
    if (data_ != nullptr) Port().globalUnlock(block_);
  }
  LockedBlock(const LockedBlock&) = delete;
  LockedBlock& operator=(const LockedBlock&) = delete;

  unsigned char* data() const { return static_cast<unsigned char*>(data_); }

private:
  GlobalBlock block_;
  void* data_;
};

struct NamedFormat {
  std::string name;
  uint32_t id;
};

// Registration hands back the id the system already has for a name, so it is done every time.
std::optional<std::vector<NamedFormat>> RegisterFormats(std::string_view typeKey,
                                                        std::string& error) {
  std::vector<NamedFormat> formats;
  for (std::string& name : ClipboardFormatNames(typeKey)) {
    const uint32_t id = Port().registerClipboardFormat(Utf8ToWide(name).c_str());
    if (id == 0) {
      error = RegisterFailedMessage(name);
      return std::nullopt;
    }
    formats.push_back({std::move(name), id});
  }
  return formats;
}

// Lets `write` fill the block it was allocated for. The content is written into the block in
// place: a payload of many megabytes is on the clipboard several times over already.
template <typename Write> bool FillBlock(PendingBlock& block, std::string& error, Write&& write) {
  if (block.get() == nullptr) {
    error = kGlobalAllocFailed;
    return false;
  }
  LockedBlock locked(block.get());
  if (locked.data() == nullptr) {
    error = kGlobalLockFailed;
    return false;
  }
  write(locked.data());
  return true;
}

// A block of the XML under one format name: for a "Mac-XM…" name, its byte count first.
std::size_t XmlBlockSize(std::string_view formatName, std::string_view xml) {
  return MacHeaderLength(formatName) + xml.size();
}

void WriteXmlBlock(unsigned char* data, std::string_view formatName, std::string_view xml) {
  if (MacHeaderLength(formatName) != 0) {
    // The XML's byte count, 32-bit little-endian; longer XML keeps the low 32 bits.
    const auto count = static_cast<uint32_t>(xml.size());
    for (int shift = 0; shift < 32; shift += 8) {
      *data++ = static_cast<unsigned char>((count >> shift) & 0xFF);
    }
  }
  std::memcpy(data, xml.data(), xml.size());
}

// The text as UTF-16 and its terminating NUL: a CF_UNICODETEXT block.
std::size_t UnicodeTextBlockSize(std::size_t units) { return (units + 1) * sizeof(char16_t); }

void WriteUnicodeTextBlock(unsigned char* data, std::string_view text, std::size_t units) {
  auto* wide = reinterpret_cast<char16_t*>(data);
  Utf8ToWideInto(text, wide, units);
  wide[units] = u'\0';
}

// Puts `text` on the open clipboard as CF_UNICODETEXT.
bool SetUnicodeText(std::string_view text, std::string& error) {
  const std::size_t units = Utf8ToWideLength(text);
  PendingBlock block(UnicodeTextBlockSize(units));
  if (!FillBlock(block, error,
                 [&](unsigned char* data) { WriteUnicodeTextBlock(data, text, units); })) {
    return false;
  }
  if (Port().setClipboardData(kUnicodeTextFormat, block.get()) == nullptr) {
    error = kSetUnicodeTextFailed;
    return false;
  }
  block.HandOver();
  return true;
}

} // namespace

std::vector<std::string> ClipboardFormatNames(std::string_view typeKey) {
  std::vector<std::string> names;
  const auto add = [&names](std::string name) {
    if (std::find(names.begin(), names.end(), name) == names.end()) {
      names.push_back(std::move(name));
    }
  };
  add("Mac-" + std::string(typeKey));
  add("Win-" + std::string(typeKey));
  if (!typeKey.empty()) add(std::string(typeKey));
  for (const ExtraFormatNames& extra : kExtraFormatNames) {
    if (extra.key != typeKey) continue;
    for (std::string_view name : extra.names) {
      if (!name.empty()) add(std::string(name));
    }
  }
  return names;
}

std::size_t MacHeaderLength(std::string_view formatName) {
  return formatName.starts_with("Mac-XM") || formatName == "Mac-" ? 4 : 0;
}

std::string_view StandardClipboardFormatName(uint32_t formatId) {
  if (formatId < 1 || formatId > kStandardFormatNames.size()) return {};
  return kStandardFormatNames[formatId - 1];
}

bool SetXmlClipboard(std::string_view typeKey, std::string_view xml, std::string& error) {
  const auto formats = RegisterFormats(typeKey, error);
  if (!formats) return false;
  OpenedClipboard clipboard;
  if (!clipboard) {
    error = kOpenClipboardFailed;
    return false;
  }
  Port().emptyClipboard();
  for (const NamedFormat& format : *formats) {
    PendingBlock block(XmlBlockSize(format.name, xml));
    if (!FillBlock(block, error,
                   [&](unsigned char* data) { WriteXmlBlock(data, format.name, xml); })) {
      return false;
    }
    if (Port().setClipboardData(format.id, block.get()) == nullptr) {
      error = SetClipboardDataFailedMessage(format.name);
      return false;
    }
    block.HandOver();
  }
  // The same text as plain Unicode text, for programs that know none of the host's formats.
  return SetUnicodeText(xml, error);
}

bool GetXmlClipboard(std::string_view typeKey, std::string& xml, std::string& error) {
  const auto formats = RegisterFormats(typeKey, error);
  if (!formats) return false;
  OpenedClipboard clipboard;
  if (!clipboard) {
    error = kOpenClipboardFailed;
    return false;
  }
  const NamedFormat* found = nullptr;
  GlobalBlock handle = nullptr;
  for (const NamedFormat& format : *formats) {
    handle = Port().getClipboardData(format.id);
    if (handle != nullptr) {
      found = &format;
      break;
    }
  }
  if (found == nullptr) {
    xml.clear();
    return true;
  }
  LockedBlock locked(handle);
  if (locked.data() == nullptr) {
    error = kGlobalLockFailed;
    return false;
  }
  const std::size_t size = Port().globalSize(handle);
  // The header's count is not trusted: the block's own size bounds what is read.
  const std::size_t header = MacHeaderLength(found->name);
  std::string content;
  if (size > header) {
    content.assign(reinterpret_cast<const char*>(locked.data()) + header, size - header);
  }
  // Writers and the allocator may pad the block with NULs; the XML never ends in one.
  const std::size_t end = content.find_last_not_of('\0');
  content.resize(end == std::string::npos ? 0 : end + 1);
  xml = std::move(content);
  return true;
}

bool ProbeXmlClipboard(std::string& typeKey, std::string& xml, std::string& error) {
  std::string firstError;
  for (std::string_view key : kProbeOrder) {
    std::string found;
    std::string readError;
    if (!GetXmlClipboard(key, found, readError)) {
      if (firstError.empty()) firstError = std::move(readError);
      continue;
    }
    if (!found.empty()) {
      typeKey = key;
      xml = std::move(found);
      error.clear();
      return true;
    }
  }
  if (!firstError.empty()) error = std::move(firstError);
  return false;
}

bool ListClipboardFormats(std::string& listing, std::string& error) {
  OpenedClipboard clipboard;
  if (!clipboard) {
    error = kOpenClipboardFailed;
    return false;
  }
  std::string lines;
  uint32_t format = 0;
  for (uint32_t count = 0; count < kMaxEnumeratedFormats; ++count) {
    // Cleared before each step, so the error read at the end is the enumeration's own and not
    // one left by the name look-up of an unnamed format.
    Port().setLastError(0);
    format = Port().enumClipboardFormats(format);
    if (format == 0) break;
    std::array<char16_t, kFormatNameCapacity> buffer{};
    const int length = Port().getClipboardFormatName(format, buffer.data(), kFormatNameCapacity);
    const std::string name =
        length >= 1 ? WideToUtf8(std::u16string_view(buffer.data(),
                                                     std::min(length, kFormatNameCapacity - 1)))
                    : std::string(StandardClipboardFormatName(format));
    lines += std::to_string(format) + '\t' + name + '\n';
  }
  const bool ended = format == 0;
  const uint32_t lastError = ended ? Port().getLastError() : 0;
  clipboard.Close();
  if (!ended || lastError != 0) {
    error = kEnumClipboardFormatsFailed;
    return false;
  }
  listing = std::move(lines);
  return true;
}

bool GetClipboardText(std::string& text, std::string& error) {
  OpenedClipboard clipboard;
  if (!clipboard) {
    error = kOpenClipboardFailed;
    return false;
  }
  const GlobalBlock handle = Port().getClipboardData(kUnicodeTextFormat);
  if (handle == nullptr) {
    text.clear();
    return true;
  }
  LockedBlock locked(handle);
  if (locked.data() == nullptr) {
    error = kGlobalLockFailed;
    return false;
  }
  // Another program wrote this block: its NUL may be missing, so its size bounds the read.
  // The conversion stops at the first NUL and reads the block where it is.
  const std::size_t units = Port().globalSize(handle) / sizeof(char16_t);
  text = WideToUtf8(std::u16string_view(reinterpret_cast<const char16_t*>(locked.data()), units));
  return true;
}

bool SetClipboardText(std::string_view text, std::string& error) {
  // The block is made before the clipboard is opened, so it is open as briefly as possible.
  const std::size_t units = Utf8ToWideLength(text);
  PendingBlock block(UnicodeTextBlockSize(units));
  if (!FillBlock(block, error,
                 [&](unsigned char* data) { WriteUnicodeTextBlock(data, text, units); })) {
    return false;
  }
  OpenedClipboard clipboard;
  if (!clipboard) {
    error = kOpenClipboardFailed;
    return false;
  }
  Port().emptyClipboard();
  if (Port().setClipboardData(kUnicodeTextFormat, block.get()) == nullptr) {
    error = kSetUnicodeTextFailed;
    return false;
  }
  block.HandOver();
  return true;
}

} // namespace tideloom
