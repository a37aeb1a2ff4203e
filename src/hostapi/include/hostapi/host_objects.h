// The host library's objects, held by guards that delete them on every path, and the one place
// where a failure report of the host library becomes an exception.
#pragma once

#include <cstdint>
#include <exception>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>

#include "hostapi/host_library.h"

namespace tideloom {

// Memory exhausted (1) or another failure (2), as reported by the host library.
struct HostFailure : std::exception {
  explicit HostFailure(int32_t code) : code(code) {}
  const char* what() const noexcept override { return "host library call failed"; }
  int32_t code;
};

void ThrowIfHostFailed(const HostError& error);

// Calls a host library function with a fresh error record and raises its failure report.
template <typename Function, typename... Arguments>
auto CallHost(Function function, Arguments... arguments) {
  HostError error{1, 0};
  if constexpr (std::is_void_v<decltype(function(arguments..., &error))>) {
    function(arguments..., &error);
    ThrowIfHostFailed(error);
  } else {
    auto value = function(arguments..., &error);
    ThrowIfHostFailed(error);
    return value;
  }
}

class HostTextObject {
public:
  HostTextObject();
  explicit HostTextObject(std::string_view utf8) : HostTextObject() { Assign(utf8); }
  explicit HostTextObject(const std::string& utf8) : HostTextObject() { Assign(utf8); }
  ~HostTextObject();
  HostTextObject(const HostTextObject&) = delete;
  HostTextObject& operator=(const HostTextObject&) = delete;

  // The host reads a zero-terminated string, so the text ends at its first zero byte.
  void Assign(std::string_view utf8);
  // A std::string is terminated already: large results reach the host without another copy.
  void Assign(const std::string& utf8);
  HostText* get() const { return text_; }

private:
  HostText* text_;
};

class HostDataObject {
public:
  HostDataObject();
  ~HostDataObject();
  HostDataObject(const HostDataObject&) = delete;
  HostDataObject& operator=(const HostDataObject&) = delete;
  HostData* get() const { return data_; }

private:
  HostData* data_;
};

class HostEnvironmentObject {
public:
  HostEnvironmentObject();
  ~HostEnvironmentObject();
  HostEnvironmentObject(HostEnvironmentObject&& other) noexcept
      : environment_(std::exchange(other.environment_, nullptr)) {}
  HostEnvironmentObject(const HostEnvironmentObject&) = delete;
  HostEnvironmentObject& operator=(const HostEnvironmentObject&) = delete;
  HostExprEnv* get() const { return environment_; }

private:
  HostExprEnv* environment_;
};

class PluginIdObject {
public:
  PluginIdObject();
  ~PluginIdObject();
  PluginIdObject(const PluginIdObject&) = delete;
  PluginIdObject& operator=(const PluginIdObject&) = delete;
  const HostQuadChar* get() const { return id_; }

private:
  HostQuadChar* id_;
};

// A host text as UTF-8, converted by the host a slice at a time into a zero-filled buffer; the
// text ends at its first zero unit.
std::string HostTextToUtf8(const HostText* text);

} // namespace tideloom
