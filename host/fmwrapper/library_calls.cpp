// The library calls a plug-in imports from FMWrapper. Each one checks its error record and its
// handles before it touches anything, so that a faulty plug-in gets a failure report or is
// stopped instead of crashing the host, and none lets an exception out.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>

#include "failure_injection.h"
#include "host_call_rules.h"
#include "host_objects.h"
#include "host_state.h"
#include "utf_text.h"

namespace fmhost {
namespace {

constexpr int32_t kErrorMemory = 1;
constexpr int32_t kErrorOther = 2;

// Thrown inside a call; becomes the call's HostError code.
struct HostFailure {
  int32_t code;
};

// Thrown inside a call for a handle that is no live host object of the kind the call takes.
struct ForgedHandle {
  ObjectKind kind;
  const void* handle;
};

const char* KindName(ObjectKind kind) {
  switch (kind) {
  case ObjectKind::text:
    return "text";
  case ObjectKind::data:
    return "data value";
  case ObjectKind::vector:
    return "parameter vector";
  case ObjectKind::environment:
    return "environment";
  case ObjectKind::quadChar:
    return "plug-in ID";
  case ObjectKind::locale:
    return "locale";
  }
  return "object";
}

[[noreturn]] void StopForForgedHandle(const char* call, const ForgedHandle& forged) {
  char address[32];
  std::snprintf(address, sizeof address, "0x%llx", // "%p" differs between C libraries
                static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(forged.handle)));
  StopForPluginFault("called " + std::string(call) + " with " + address +
                     ", which is no live host " + KindName(forged.kind));
}

// The frame of every call: the plug-in must be allowed to call now, the error record must come
// in as version 1 with code 0, an injected failure is reported before any work, and anything
// thrown becomes a failure code. `failed` is what the call returns when it fails.
template <typename Result, typename Body>
Result HostCall(const char* name, HostError* error, Result failed, Body&& body) {
  CheckCallAllowed(name);
  HostError unused{1, 0};
  HostError& report = error != nullptr ? *error : unused;
  if (report.version != 1 || report.code != 0) {
    report.code = kErrorOther;
    return failed;
  }
  if (const int injected = TakeInjectedFailure(name); injected != 0) {
    report.code = injected;
    return failed;
  }
  try {
    return body();
  } catch (const HostFailure& failure) {
    report.code = failure.code;
  } catch (const ForgedHandle& forged) {
    StopForForgedHandle(name, forged);
  } catch (const std::bad_alloc&) {
    report.code = kErrorMemory;
  } catch (...) {
    report.code = kErrorOther;
  }
  return failed;
}

template <typename Body>
void HostCallWithoutResult(const char* name, HostError* error, Body&& body) {
  HostCall(name, error, 0, [&] {
    body();
    return 0;
  });
}

void Require(bool condition) {
  if (!condition) throw HostFailure{kErrorOther};
}

template <typename T> T* Live(T* handle, ObjectKind kind) {
  if (!IsLiveObject(handle, kind)) throw ForgedHandle{kind, handle};
  return handle;
}

// Only what the plug-in made through a constructor call is the plug-in's to delete.
template <typename T> void DeleteOwned(T* handle, ObjectKind kind) {
  Require(IsOwnedByPlugin(Live(handle, kind), kind));
  delete handle;
}

template <typename T> T* NewOwned() {
  T* object = new T;
  MarkOwnedByPlugin(object);
  return object;
}

// The units [position, position + count) of a text; a range past its end is a failure.
std::u16string_view Units(const HostText* text, uint32_t position, uint32_t count) {
  const std::u16string& units = Live(text, ObjectKind::text)->units;
  Require(position <= units.size() && count <= units.size() - position);
  return std::u16string_view(units).substr(position, count);
}

int16_t AsErrorCode(int error) { return static_cast<int16_t>(std::clamp(error, -32768, 32767)); }

} // namespace
} // namespace fmhost

using fmhost::HostCall;
using fmhost::HostCallWithoutResult;
using fmhost::Live;
using fmhost::ObjectKind;
using fmhost::Require;

extern "C" {

HostText* FM_Text_Constructor1(HostError* error) {
  return HostCall("FM_Text_Constructor1", error, static_cast<HostText*>(nullptr),
                  [] { return fmhost::NewOwned<HostText>(); });
}

void FM_Text_Delete(HostText* text, HostError* error) {
  HostCallWithoutResult("FM_Text_Delete", error,
                        [&] { fmhost::DeleteOwned(text, ObjectKind::text); });
}

void FM_Text_Assign(HostText* text, const char* bytes, int32_t encoding, HostError* error) {
  HostCallWithoutResult("FM_Text_Assign", error, [&] {
    Live(text, ObjectKind::text);
    Require(bytes != nullptr && encoding == kHostEncodingUtf8);
    text->units = fmhost::Utf8ToUtf16(bytes);
  });
}

uint32_t FM_Text_GetSize(const HostText* text, HostError* error) {
  return HostCall("FM_Text_GetSize", error, uint32_t{0}, [&] {
    return static_cast<uint32_t>(Live(text, ObjectKind::text)->units.size());
  });
}

void FM_Text_GetUnicode(const HostText* text, uint16_t* buffer, uint32_t position, uint32_t count,
                        HostError* error) {
  HostCallWithoutResult("FM_Text_GetUnicode", error, [&] {
    const std::u16string_view units = fmhost::Units(text, position, count);
    Require(buffer != nullptr || units.empty());
    if (!units.empty()) std::memcpy(buffer, units.data(), units.size() * sizeof(char16_t));
  });
}

void FM_Text_GetBytes(const HostText* text, char* buffer, uint32_t bufferSize, uint32_t position,
                      uint32_t count, int32_t encoding, HostError* error) {
  HostCallWithoutResult("FM_Text_GetBytes", error, [&] {
    const std::u16string_view units = fmhost::Units(text, position, count);
    Require(encoding == kHostEncodingUtf8 && (buffer != nullptr || bufferSize == 0));
    // Whole characters only, and never a byte past the buffer.
    const std::string bytes = fmhost::Utf16ToUtf8Within(units, bufferSize);
    if (!bytes.empty()) std::memcpy(buffer, bytes.data(), bytes.size());
  });
}

HostData* FM_Data_Constructor1(HostError* error) {
  return HostCall("FM_Data_Constructor1", error, static_cast<HostData*>(nullptr),
                  [] { return fmhost::NewOwned<HostData>(); });
}

void FM_Data_Delete(HostData* data, HostError* error) {
  HostCallWithoutResult("FM_Data_Delete", error,
                        [&] { fmhost::DeleteOwned(data, ObjectKind::data); });
}

const HostText* FM_Data_GetAsText(const HostData* data, HostError* error) {
  return HostCall("FM_Data_GetAsText", error, static_cast<const HostText*>(nullptr),
                  [&] { return &Live(data, ObjectKind::data)->text; });
}

const HostLocale* FM_Data_GetLocale(const HostData* data, HostError* error) {
  return HostCall("FM_Data_GetLocale", error, static_cast<const HostLocale*>(nullptr),
                  [&] { return &Live(data, ObjectKind::data)->locale; });
}

int16_t FM_Data_SetAsText(HostData* data, const HostText* text, const HostLocale* locale,
                          int32_t /*dataType: every value is kept as text*/, HostError* error) {
  return HostCall("FM_Data_SetAsText", error, fmhost::kFailedCallErrorCode, [&] {
    Live(data, ObjectKind::data)->text.units = Live(text, ObjectKind::text)->units;
    data->locale.name = Live(locale, ObjectKind::locale)->name;
    return int16_t{0};
  });
}

uint32_t FM_DataVect_Size(const HostDataVect* parameters, HostError* error) {
  return HostCall("FM_DataVect_Size", error, uint32_t{0}, [&] {
    return static_cast<uint32_t>(Live(parameters, ObjectKind::vector)->values.size());
  });
}

const HostData* FM_DataVect_At(const HostDataVect* parameters, uint32_t index, HostError* error) {
  return HostCall("FM_DataVect_At", error, static_cast<const HostData*>(nullptr), [&] {
    Require(index < Live(parameters, ObjectKind::vector)->values.size());
    return static_cast<const HostData*>(parameters->values[index].get());
  });
}

HostExprEnv* FM_ExprEnv_Constructor1(HostError* error) {
  return HostCall("FM_ExprEnv_Constructor1", error, static_cast<HostExprEnv*>(nullptr),
                  [] { return fmhost::NewOwned<HostExprEnv>(); });
}

void FM_ExprEnv_Delete(HostExprEnv* environment, HostError* error) {
  HostCallWithoutResult("FM_ExprEnv_Delete", error,
                        [&] { fmhost::DeleteOwned(environment, ObjectKind::environment); });
}

int16_t FM_ExprEnv_Evaluate(const HostExprEnv* environment, const HostText* expression,
                            HostData* result, HostError* error) {
  return HostCall("FM_ExprEnv_Evaluate", error, fmhost::kFailedCallErrorCode, [&] {
    Live(environment, ObjectKind::environment);
    const std::string text = fmhost::Utf16ToUtf8(Live(expression, ObjectKind::text)->units);
    Live(result, ObjectKind::data)->text.units.clear();
    if (!environment->bound) return fmhost::kUnboundEnvironmentError;
    // The environment is the host's object; evaluating may set its $variables.
    auto* variables = environment->variables != nullptr
                          ? environment->variables
                          : &const_cast<HostExprEnv*>(environment)->ownVariables;
    const fmhost::CalcResult outcome =
        fmhost::Engine().Evaluate(text, fmhost::CalcContext{environment->fileName, variables});
    if (outcome.error != 0) return fmhost::AsErrorCode(outcome.error);
    result->text.units = fmhost::Utf8ToUtf16(outcome.value.text);
    return int16_t{0};
  });
}

int16_t FM_ExprEnv_RegisterExternalFunctionEx(const HostQuadChar* pluginId, int16_t functionId,
                                              const HostText* name, const HostText* prototype,
                                              const HostText* description, int16_t minParameters,
                                              int16_t maxParameters, uint32_t flags,
                                              HostExternalFunction function, HostError* error) {
  return HostCall(
      "FM_ExprEnv_RegisterExternalFunctionEx", error, fmhost::kFailedCallErrorCode, [&] {
        Require(function != nullptr);
        fmhost::FunctionEntry entry{
            fmhost::RegisteredFunction{
                std::string(Live(pluginId, ObjectKind::quadChar)->chars, 4), functionId,
                fmhost::Utf16ToUtf8(Live(name, ObjectKind::text)->units),
                fmhost::Utf16ToUtf8(Live(prototype, ObjectKind::text)->units),
                fmhost::Utf16ToUtf8(Live(description, ObjectKind::text)->units), minParameters,
                maxParameters, flags},
            function};
        auto& functions = fmhost::State().functions;
        const auto same = std::find_if(functions.begin(), functions.end(), [&](const auto& known) {
          return known.info.pluginId == entry.info.pluginId && known.info.id == functionId;
        });
        if (same != functions.end()) {
          *same = std::move(entry);
        } else {
          functions.push_back(std::move(entry));
        }
        return int16_t{0};
      });
}

int16_t FM_ExprEnv_UnRegisterExternalFunction(const HostQuadChar* pluginId, int16_t functionId,
                                              HostError* error) {
  return HostCall(
      "FM_ExprEnv_UnRegisterExternalFunction", error, fmhost::kFailedCallErrorCode, [&] {
        const std::string id(Live(pluginId, ObjectKind::quadChar)->chars, 4);
        fmhost::State().unregisteredIds.push_back(functionId);
        std::erase_if(fmhost::State().functions, [&](const fmhost::FunctionEntry& known) {
          return known.info.pluginId == id && known.info.id == functionId;
        });
        return int16_t{0};
      });
}

HostQuadChar* FM_QuadChar_Constructor2(char c0, char c1, char c2, char c3, HostError* error) {
  return HostCall("FM_QuadChar_Constructor2", error, static_cast<HostQuadChar*>(nullptr), [&] {
    HostQuadChar* id = fmhost::NewOwned<HostQuadChar>();
    id->chars[0] = c0;
    id->chars[1] = c1;
    id->chars[2] = c2;
    id->chars[3] = c3;
    return id;
  });
}

void FM_QuadChar_Delete(HostQuadChar* id, HostError* error) {
  HostCallWithoutResult("FM_QuadChar_Delete", error,
                        [&] { fmhost::DeleteOwned(id, ObjectKind::quadChar); });
}

} // extern "C"
