#include "hostapi/host_objects.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "hostapi/plugin_identity.h"

namespace tideloom {

namespace {
constexpr int32_t kHostErrorMemory = 1;
constexpr int32_t kHostErrorOther = 2;
// 64 Ki units: a few hundred kilobytes of buffers, and few host calls for a large text.
constexpr uint32_t kTextSliceUnits = 1u << 16;

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
  // Read a slice at a time: asked for at once, a large text would need room for three bytes a
  // unit (a UTF-16 unit never needs more; a surrogate pair needs four for two), zeroed in full.
  // The result is reserved at that bound: what the text does not use is never touched.
  std::string utf8;
  utf8.reserve(size_t{units} * 3);
  std::vector<uint16_t> slice(std::min(units, kTextSliceUnits));
  std::string bytes(slice.size() * 3 + 1, '\0');
  for (uint32_t position = 0; position < units;) {
    uint32_t count = std::min(units - position, kTextSliceUnits);
    CallHost(FM_Text_GetUnicode, text, slice.data(), position, count);
    // A zero unit ends the text, as the host's bytes are read up to the first zero.
    const auto zero = std::find(slice.begin(), slice.begin() + count, uint16_t{0});
    const bool last = zero != slice.begin() + count || position + count == units;
    count = static_cast<uint32_t>(zero - slice.begin());
    // A slice never ends between the two halves of a surrogate pair.
    if (!last && count > 1 && slice[count - 1] >= 0xD800 && slice[count - 1] <= 0xDBFF) --count;
    if (count > 0) {
      const auto capacity = static_cast<uint32_t>(size_t{count} * 3 + 1);
      std::fill_n(bytes.begin(), capacity, '\0');
      CallHost(FM_Text_GetBytes, text, bytes.data(), capacity, position, count, kHostEncodingUtf8);
      utf8.append(bytes.data(), strnlen(bytes.data(), capacity));
    }
    if (last) break;
    position += count;
  }
  return utf8;
}

} // namespace tideloom
