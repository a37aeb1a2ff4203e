#include "failure_injection.h"

#include <algorithm>
#include <mutex>

namespace fmhost {
namespace {

struct InjectedFailure {
  std::string call;
  int code;
  int remaining;
};

struct FailureTable {
  std::mutex mutex;
  std::vector<InjectedFailure> failures;
};

FailureTable& Failures() {
  static FailureTable table;
  return table;
}

} // namespace

const std::vector<std::string>& LibraryCallNames() {
  static const std::vector<std::string> names = {
      "FM_Text_Constructor1",
      "FM_Text_Delete",
      "FM_Text_Assign",
      "FM_Text_GetSize",
      "FM_Text_GetUnicode",
      "FM_Text_GetBytes",
      "FM_Data_Constructor1",
      "FM_Data_Delete",
      "FM_Data_GetAsText",
      "FM_Data_GetLocale",
      "FM_Data_SetAsText",
      "FM_DataVect_Size",
      "FM_DataVect_At",
      "FM_ExprEnv_Constructor1",
      "FM_ExprEnv_Delete",
      "FM_ExprEnv_Evaluate",
      "FM_ExprEnv_RegisterExternalFunctionEx",
      "FM_ExprEnv_UnRegisterExternalFunction",
      "FM_QuadChar_Constructor2",
      "FM_QuadChar_Delete",
  };
  return names;
}

bool AddInjectedFailure(const std::string& call, int code, int times) {
  const auto& names = LibraryCallNames();
  if (std::find(names.begin(), names.end(), call) == names.end()) return false;
  if (code == 0 || times < 1) return false;
  FailureTable& table = Failures();
  std::lock_guard lock(table.mutex);
  table.failures.push_back(InjectedFailure{call, code, times});
  return true;
}

void RemoveInjectedFailures() {
  FailureTable& table = Failures();
  std::lock_guard lock(table.mutex);
  table.failures.clear();
}

int TakeInjectedFailure(const char* call) {
  FailureTable& table = Failures();
  std::lock_guard lock(table.mutex);
  for (InjectedFailure& failure : table.failures) {
    if (failure.remaining > 0 && failure.call == call) {
      --failure.remaining;
      return failure.code;
    }
  }
  return 0;
}

} // namespace fmhost
