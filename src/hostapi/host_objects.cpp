#include "hostapi/host_objects.h"

#include <cstring>

#include "hostapi/plugin_identity.h"

namespace tideloom {

namespace {
constexpr int32_t kHostErrorMemory = 1;
constexpr int32_t kHostErrorOther = 2;

// Deleting never throws: a guard runs while another failure may already be unwinding.
template <typename Object> void DeleteQuietly(void (*remove)(Object*, HostError*), Object* object) {
  if (object == nullptr) return;
  HostError error{1, 0};
  remove(object, &error);
}
} // namespace

void ThrowIfHostFailed(const HostError& error) {
  if (error.code == kHostErrorMemory || error.code == kHostErrorOther)
    throw HostFailure(error.code);
}

HostTextObject::HostTextObject() : text_(CallHost(FM_Text_Constructor1)) {}
HostTextObject::~HostTextObject() { DeleteQuietly(FM_Text_Delete, text_); }

void HostTextObject::Assign(std::string_view utf8) { Assign(std::string(utf8)); }

void HostTextObject::Assign(const std::string& utf8) {
  CallHost(FM_Text_Assign, text_, utf8.c_str(), kHostEncodingUtf8);
}

HostDataObject::HostDataObject() : data_(CallHost(FM_Data_Constructor1)) {}
HostDataObject::~HostDataObject() { DeleteQuietly(FM_Data_Delete, data_); }

HostEnvironmentObject::HostEnvironmentObject() : environment_(CallHost(FM_ExprEnv_Constructor1)) {}
HostEnvironmentObject::~HostEnvironmentObject() { DeleteQuietly(FM_ExprEnv_Delete, environment_); }

PluginIdObject::PluginIdObject()
    : id_(CallHost(FM_QuadChar_Constructor2, kPluginId[0], kPluginId[1], kPluginId[2],
                   kPluginId[3])) {}
PluginIdObject::~PluginIdObject() { DeleteQuietly(FM_QuadChar_Delete, id_); }

std::string HostTextToUtf8(const HostText* text) {
  const uint32_t units = CallHost(FM_Text_GetSize, text);
  if (units == 0) return {};
  // A UTF-16 unit never needs more than three UTF-8 bytes (a surrogate pair needs four for two).
  // The host writes straight into the result, which is then cut at the terminator.
  const size_t capacity = size_t{units} * 3 + 1;
  std::string utf8(capacity, '\0');
  CallHost(FM_Text_GetBytes, text, utf8.data(), static_cast<uint32_t>(capacity), uint32_t{0}, units,
           kHostEncodingUtf8);
  utf8.resize(strnlen(utf8.data(), capacity));
  return utf8;
}

} // namespace tideloom
