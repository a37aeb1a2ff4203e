#include "plugin/host_values.h"

#include "plugin/calculation_call.h"
#include "plugin/host_objects.h"

uint32_t ParameterCount(const HostDataVect* parameters) {
  return CallHost(FM_DataVect_Size, parameters);
}

std::string GetParameterText(const HostDataVect* parameters, uint32_t index) {
  if (index >= ParameterCount(parameters)) return {};
  const HostData* value = CallHost(FM_DataVect_At, parameters, index);
  return HostTextToUtf8(CallHost(FM_Data_GetAsText, value));
}

void SetResultText(std::string_view text, HostData* result) {
  HostTextObject hostText(text);
  const HostLocale* locale = CallHost(FM_Data_GetLocale, result);
  CallHost(FM_Data_SetAsText, result, hostText.get(), locale, kHostDataTypeText);
}

std::string Parameter(const CalculationCall& call, uint32_t index) {
  return GetParameterText(call.parameters, index);
}
