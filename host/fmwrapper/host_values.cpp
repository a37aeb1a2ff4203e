// Host values made by the host itself: for plug-in functions called from a calculation, and
// for tests that call a plug-in's functions directly.
#include "host_objects.h"
#include "host_state.h"
#include "utf_text.h"

namespace fmhost {
namespace {

std::unique_ptr<HostData> HostValue(std::u16string units) {
  auto value = std::make_unique<HostData>();
  value->text.units = std::move(units);
  value->locale.name = kHostLocaleName;
  return value;
}

HostDataVect* OwnedByCaller(std::unique_ptr<HostDataVect> parameters) {
  MarkOwnedByPlugin(parameters.get());
  return parameters.release();
}

} // namespace

HostDataVect* NewParameters(const std::vector<std::string>& utf8Texts) {
  auto parameters = std::make_unique<HostDataVect>();
  for (const std::string& text : utf8Texts)
    parameters->values.push_back(HostValue(Utf8ToUtf16(text)));
  return OwnedByCaller(std::move(parameters));
}

HostDataVect* NewParametersUtf16(const std::vector<std::u16string>& texts) {
  auto parameters = std::make_unique<HostDataVect>();
  for (const std::u16string& text : texts)
    parameters->values.push_back(HostValue(text));
  return OwnedByCaller(std::move(parameters));
}

void DeleteParameters(HostDataVect* parameters) {
  if (IsOwnedByPlugin(parameters, ObjectKind::vector)) delete parameters;
}

HostData* NewResult() {
  HostData* result = HostValue(u"").release();
  MarkOwnedByPlugin(result);
  return result;
}

std::u16string ResultUnits(const HostData* result) {
  return IsLiveObject(result, ObjectKind::data) ? result->text.units : std::u16string();
}

std::string ResultText(const HostData* result) { return Utf16ToUtf8(ResultUnits(result)); }

std::string ResultLocale(const HostData* result) {
  return IsLiveObject(result, ObjectKind::data) ? result->locale.name : std::string();
}

void DeleteResult(HostData* result) {
  if (IsOwnedByPlugin(result, ObjectKind::data)) delete result;
}

HostExprEnv* NewEnvironmentFor(const std::string& fileName) {
  auto* environment = new HostExprEnv;
  environment->bound = true;
  environment->fileName = fileName;
  environment->variables = &environment->ownVariables;
  MarkOwnedByPlugin(environment);
  return environment;
}

void DeleteEnvironment(HostExprEnv* environment) {
  if (IsOwnedByPlugin(environment, ObjectKind::environment)) delete environment;
}

std::optional<CalcResult> CallRegisteredFunction(const std::string& name,
                                                 const std::vector<CalcValue>& arguments,
                                                 const CalcContext& context) {
  // A copy: the function may unregister itself, or others, while it runs.
  std::optional<FunctionEntry> found;
  for (const FunctionEntry& entry : State().functions) {
    if (SameNameIgnoringCase(entry.info.name, name)) {
      found = entry;
      break;
    }
  }
  if (!found) return std::nullopt;
  const RegisteredFunction& info = found->info;
  const auto count = static_cast<long>(arguments.size());
  if (count < info.minParameters || (info.maxParameters >= 0 && count > info.maxParameters)) {
    return CalcResult{kCalcErrorArgumentCount, {}};
  }

  HostDataVect parameters;
  for (const CalcValue& argument : arguments) {
    parameters.values.push_back(HostValue(Utf8ToUtf16(argument.text)));
  }
  std::unique_ptr<HostData> result = HostValue(u"");
  HostExprEnv environment;
  environment.bound = true;
  environment.fileName = context.fileName.empty() ? CurrentSolution().activeFile : context.fileName;
  environment.variables =
      context.variables != nullptr ? context.variables : &environment.ownVariables;

  const int16_t code = found->function(info.id, &environment, &parameters, result.get());
  if (code != 0) return CalcResult{code, {}};
  return CalcResult{0, CalcValue{Utf16ToUtf8(result->text.units), false}};
}

} // namespace fmhost
