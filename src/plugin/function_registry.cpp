#include "plugin/function_registry.h"

#include <utility>

#include "functions/bridge_functions.h"
#include "functions/clipboard_functions.h"
#include "functions/file_http_functions.h"
#include "functions/live_push_function.h"
#include "functions/schema_functions.h"
#include "hostapi/evaluation.h"
#include "hostapi/host_objects.h"
#include "hostapi/host_values.h"
#include "hostapi/plugin_identity.h"

namespace tideloom {

namespace {

std::string Version(const CalculationCall&) { return std::string(kVersionText); }

} // namespace

// clang-format off
const std::array<FunctionEntry, 19> kFunctionTable = {{
  {100, "TideLoom.Version", "TideLoom.Version",
   "Returns the TideLoom plugin version string.",
   0, 0, Version},
  {101, "TideLoom.SetXMLClipboard", "TideLoom.SetXMLClipboard( xmlType ; xmlContent )",
   "Writes UTF-8 XML to the FM clipboard under the given type key (e.g. XMSS).",
   2, 2, SetXMLClipboardFunction},
  {102, "TideLoom.GetXMLClipboard", "TideLoom.GetXMLClipboard( xmlType )",
   "Reads FM XML clipboard for the given type key. Pass empty text or AUTO to probe common FileMaker XML types.",
   1, 1, GetXMLClipboardFunction},
  {103, "TideLoom.Register", "TideLoom.Register( email ; licenseKey ; machineId { ; baseUrl } )",
   "Registers this FM installation with TideLoom and starts the background bridge. Call once at file open. Use Get(PersistentID) for machineId. baseUrl is optional for local development sites.",
   3, 4, RegisterFunction},
  {104, "TideLoom.ReadFile", "TideLoom.ReadFile( path )",
   "Reads a file from disk and returns its contents as text.",
   1, 1, ReadFileFunction},
  {105, "TideLoom.HTTPPost", "TideLoom.HTTPPost( url ; jsonBody )",
   "Synchronous HTTP POST with a JSON body. Returns the response body or an error string.",
   2, 2, HttpPostFunction},
  {106, "TideLoom.PushSnapshot", "TideLoom.PushSnapshot( ingestUrl ; xmlPath )",
   "Reads an XML file and pushes it to TideLoom as a snapshot.",
   2, 2, PushSnapshotFunction},
  {107, "TideLoom.PushScript", "TideLoom.PushScript( licenseKey ; bridgeUrl ; xmlType { ; label } )",
   "Reads FM XML from the clipboard and pushes it to TideLoom. xmlType: XMSC, XMSS, XMFD, XMTB, XMLO, XMFN.",
   3, 4, PushScriptFunction},
  {108, "TideLoom.GetSchema", "TideLoom.GetSchema( { fileName } )",
   "Returns a JSON snapshot of an open FM file's schema: tables, fields, scripts, layouts, and custom functions. Defaults to the frontmost file.",
   0, 1, GetSchemaFunction},
  {109, "TideLoom.POSIXPath", "TideLoom.POSIXPath( fmPath )",
   "Converts a FileMaker path (e.g. /Macintosh HD/var/...) to a POSIX path (/var/...) suitable for cURL file=@ uploads.",
   1, 1, PosixPathFunction},
  {110, "TideLoom.UploadFile", "TideLoom.UploadFile( url ; licenseKey ; filename ; posixPath )",
   "POSTs a file as multipart/form-data to the given URL with licenseKey and filename fields. Returns the response body.",
   4, 4, UploadFileFunction},
  {111, "TideLoom.LivePush", "TideLoom.LivePush( posixPath )",
   "Uploads a SaveAsXML file to TideLoom LiveRelay and completes the pending Get Schema command. Call from the TideLoom Live Push script after Save a Copy As [XML].",
   1, 1, LivePushFunction},
  {112, "TideLoom.GetTextClipboard", "TideLoom.GetTextClipboard",
   "Reads plain UTF-8 text from the system clipboard. Returns empty if clipboard has no text.",
   0, 0, GetTextClipboardFunction},
  {113, "TideLoom.SetTextClipboard", "TideLoom.SetTextClipboard( text )",
   "Writes plain UTF-8 text to the system clipboard, replacing all current contents.",
   1, 1, SetTextClipboardFunction},
  {114, "TideLoom.UpdateAvailable", "TideLoom.UpdateAvailable",
   "Returns empty if the plugin is up to date, or a human-readable notice if a newer version is available at " TIDELOOM_WEB_HOST "/guide#plugin.",
   0, 0, UpdateAvailableFunction},
  {115, "TideLoom.ClipboardFormats", "TideLoom.ClipboardFormats",
   "Returns diagnostic clipboard format ids and names currently available on the system clipboard.",
   0, 0, ClipboardFormatsFunction},
  {116, "TideLoom.PrepareXMLClipboard", "TideLoom.PrepareXMLClipboard( { xmlType } )",
   "Reads plain XML text from the clipboard and rewrites it as FileMaker XML clipboard data. xmlType is optional; commonly XMSS for script steps.",
   0, 1, PrepareXMLClipboardFunction},
  {117, "TideLoom.ListFiles", "TideLoom.ListFiles",
   "Returns FileMaker file names visible to the TideLoom plug-in in the current FileMaker calculation context.",
   0, 0, ListFilesFunction},
  {118, "TideLoom.DebugContext", "TideLoom.DebugContext( { targetFileName } )",
   "Returns diagnostic JSON showing the current FileMaker context visible to the TideLoom plug-in.",
   0, 1, DebugContextFunction},
}};
// clang-format on

const FunctionEntry* FindFunction(int16_t id) {
  for (const FunctionEntry& entry : kFunctionTable) {
    if (entry.id == id) return &entry;
  }
  return nullptr;
}

int16_t RegisterAll(const HostQuadChar* pluginId) {
  HostTextObject name;
  HostTextObject prototype;
  HostTextObject description;
  int16_t firstCode = 0;
  for (const FunctionEntry& entry : kFunctionTable) {
    name.Assign(entry.name);
    prototype.Assign(entry.prototype);
    description.Assign(entry.description);
    const int16_t code = CallHost(
        FM_ExprEnv_RegisterExternalFunctionEx, pluginId, entry.id,
        static_cast<const HostText*>(name.get()), static_cast<const HostText*>(prototype.get()),
        static_cast<const HostText*>(description.get()), entry.minParameters, entry.maxParameters,
        kFunctionFlags, &CalculationTrampoline);
    if (&entry == &kFunctionTable.front()) firstCode = code;
  }
  return firstCode;
}

void UnregisterAll(const HostQuadChar* pluginId) {
  for (const FunctionEntry& entry : kFunctionTable) {
    CallHost(FM_ExprEnv_UnRegisterExternalFunction, pluginId, entry.id);
  }
}

int16_t CalculationTrampoline(int16_t functionId, const HostExprEnv* environment,
                              const HostDataVect* parameters, HostData* result) {
  try {
    const FunctionEntry* entry = FindFunction(functionId);
    std::string text;
    if (entry != nullptr) {
      CalculationCall call{{}, EvaluatorIn(environment)};
      const uint32_t count = ParameterCount(parameters);
      call.parameters.reserve(count);
      for (uint32_t index = 0; index < count; ++index) {
        call.parameters.push_back(GetParameterText(parameters, index));
      }
      text = entry->implementation(call);
    }
    SetResultText(std::move(text), result);
  } catch (...) {
    try {
      SetResultText(std::string(kHostFailureResult), result);
    } catch (...) {
      // The host cannot even take the message: the result stays as the host made it.
    }
  }
  return 0;
}

} // namespace tideloom
