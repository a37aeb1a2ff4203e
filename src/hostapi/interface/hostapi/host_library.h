// The host's plug-in library (FMWrapper) as the plug-in sees it: a C interface of opaque
// handles. The plug-in imports these calls from FMWrapper.dll (delay-loaded) on Windows and
// resolves them from the host process on Linux; the host stand-in in host/ implements them.
#pragma once

#include <cstddef>
#include <cstdint>

#if defined(_WIN32) && defined(FMWRAPPER_BUILDING)
#define FMWRAPPER_API __declspec(dllexport)
#elif defined(FMWRAPPER_BUILDING)
#define FMWRAPPER_API __attribute__((visibility("default")))
#else
#define FMWRAPPER_API
#endif

extern "C" {

// Passed as the last argument of every library call: version 1 and code 0 going in; code 1
// (memory exhausted) or 2 (another failure) coming out report a failure.
struct HostError {
  int32_t version;
  int32_t code;
};

struct HostText;
struct HostData;
struct HostDataVect;
struct HostExprEnv;
struct HostQuadChar;
struct HostLocale;

// The form of every registered calculation function.
using HostExternalFunction = int16_t (*)(int16_t functionId, const HostExprEnv* environment,
                                         const HostDataVect* parameters, HostData* result);

// Callbacks handed over in the call record.
using HostStartScriptCallback = int16_t (*)(const HostText* fileName, const HostText* scriptName,
                                            uint8_t control, const HostData* parameter);
using HostCurrentEnvironmentCallback = int16_t (*)(HostExprEnv* environment);

constexpr int32_t kHostEncodingUtf8 = 1;
constexpr int32_t kHostDataTypeText = 1;

FMWRAPPER_API HostText* FM_Text_Constructor1(HostError* error);
FMWRAPPER_API void FM_Text_Delete(HostText* text, HostError* error);
FMWRAPPER_API void FM_Text_Assign(HostText* text, const char* bytes, int32_t encoding,
                                  HostError* error);
FMWRAPPER_API uint32_t FM_Text_GetSize(const HostText* text, HostError* error);
FMWRAPPER_API void FM_Text_GetUnicode(const HostText* text, uint16_t* buffer, uint32_t position,
                                      uint32_t count, HostError* error);
FMWRAPPER_API void FM_Text_GetBytes(const HostText* text, char* buffer, uint32_t bufferSize,
                                    uint32_t position, uint32_t count, int32_t encoding,
                                    HostError* error);

FMWRAPPER_API HostData* FM_Data_Constructor1(HostError* error);
FMWRAPPER_API void FM_Data_Delete(HostData* data, HostError* error);
FMWRAPPER_API const HostText* FM_Data_GetAsText(const HostData* data, HostError* error);
FMWRAPPER_API const HostLocale* FM_Data_GetLocale(const HostData* data, HostError* error);
FMWRAPPER_API int16_t FM_Data_SetAsText(HostData* data, const HostText* text,
                                        const HostLocale* locale, int32_t dataType,
                                        HostError* error);

FMWRAPPER_API uint32_t FM_DataVect_Size(const HostDataVect* parameters, HostError* error);
FMWRAPPER_API const HostData* FM_DataVect_At(const HostDataVect* parameters, uint32_t index,
                                             HostError* error);

FMWRAPPER_API HostExprEnv* FM_ExprEnv_Constructor1(HostError* error);
FMWRAPPER_API void FM_ExprEnv_Delete(HostExprEnv* environment, HostError* error);
FMWRAPPER_API int16_t FM_ExprEnv_Evaluate(const HostExprEnv* environment,
                                          const HostText* expression, HostData* result,
                                          HostError* error);
FMWRAPPER_API int16_t FM_ExprEnv_RegisterExternalFunctionEx(
    const HostQuadChar* pluginId, int16_t functionId, const HostText* name,
    const HostText* prototype, const HostText* description, int16_t minParameters,
    int16_t maxParameters, uint32_t flags, HostExternalFunction function, HostError* error);
FMWRAPPER_API int16_t FM_ExprEnv_UnRegisterExternalFunction(const HostQuadChar* pluginId,
                                                            int16_t functionId, HostError* error);

FMWRAPPER_API HostQuadChar* FM_QuadChar_Constructor2(char c0, char c1, char c2, char c3,
                                                     HostError* error);
FMWRAPPER_API void FM_QuadChar_Delete(HostQuadChar* id, HostError* error);

} // extern "C"
