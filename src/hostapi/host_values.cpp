#include "hostapi/host_values.h"

#include "hostapi/host_objects.h"

namespace tideloom {

uint32_t ParameterCount(const HostDataVect* parameters) {
  return CallHost(FM_DataVect_Size, parameters);
}

std::string GetParameterText(const HostDataVect* parameters, uint32_t index) {
  if (index >= ParameterCount(parameters)) return {};
  const HostData* value = CallHost(FM_DataVect_At, parameters, index);
  return HostTextToUtf8(CallHost(FM_Data_GetAsText, value));
}

void SetResultText(std::string text, HostData* result) {
  const HostTextObject hostText(text);
  std::string().swap(text);
  const HostLocale* locale = CallHost(FM_Data_GetLocale, result);
  CallHost(FM_Data_SetAsText, result, hostText.get(), locale, kHostDataTypeText);
}

} // namespace tideloom
