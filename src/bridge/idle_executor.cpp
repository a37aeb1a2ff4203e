#include "bridge/idle_executor.h"

#include <array>
#include <optional>
#include <string_view>
#include <utility>

#include "bridge/bridge_messages.h"
#include "bridge/bridge_state.h"
#include "bridge/command_poller.h"
#include "bridge/schema_command.h"
#include "bridge/senders.h"
#include "bridge/service_protocol.h"
#include "bridge/update_check.h"
#include "core/json.h"
#include "core/parameter_messages.h"

namespace tideloom {

namespace {

// Until a lookup succeeds this costs one evaluation per idle call.
void LearnRegisteredFileName(const IdleHostCalls& host) {
  if (!bridgeState().RegisteredFileName().empty()) return;
  const std::string name = host.currentFileName();
  if (!name.empty()) bridgeState().AdoptRegisteredFileName(name);
}

std::optional<CommandCopy> TakePendingCommand() {
  std::optional<PolledCommand> polled = bridgeState().TakePendingCommand();
  if (!polled) return std::nullopt;
  auto [baseUrl, licenseKey] = bridgeState().ReadCredentials();
  return CommandCopy{std::move(polled->id), std::move(polled->type), std::move(polled->body),
                     std::move(baseUrl), std::move(licenseKey)};
}

void Push(const CommandCopy& command, std::string_view resultType, std::string_view content,
          std::string_view label) {
  pushResultAndComplete(command.baseUrl,
                        ResultRecord(command.licenseKey, resultType, content, label),
                        command.licenseKey, command.id);
}

void Fail(const CommandCopy& command, std::string message) {
  failCommand(command.baseUrl, command.licenseKey, command.id, std::move(message));
}

void GetClipboard(CommandCopy& command, const IdleHostCalls& host) {
  std::string requested = JsonStringField(command.body, kXmlTypeMember);
  if (requested.empty()) requested = kAutoClipboardType;
  std::string resultType = requested;
  std::string xml;
  std::string error;
  if (requested == kAutoClipboardType) {
    host.probeXmlClipboard(resultType, xml, error);
  } else {
    if (!host.getXmlClipboard(requested, xml, error)) xml.clear();
    if (xml.empty()) {
      // The service asked for one kind; whatever XML the user copied is still more useful.
      std::string probedType;
      std::string probedXml;
      std::string probeError;
      if (host.probeXmlClipboard(probedType, probedXml, probeError)) {
        resultType = std::move(probedType);
        xml = std::move(probedXml);
        error.clear();
      } else if (error.empty()) {
        error = std::move(probeError);
      }
    }
  }
  if (!xml.empty()) {
    Push(command, resultType, xml, {});
  } else {
    Fail(command, error.empty() ? std::string(kNoClipboardXmlMessage) : error);
  }
}

void GetClipboardFormats(CommandCopy& command, const IdleHostCalls& host) {
  std::string listing;
  std::string error;
  const bool listed = host.listClipboardFormats(listing, error);
  pushFormatsAndComplete(command.baseUrl,
                         ResultRecord(command.licenseKey, kClipboardFormatsResult,
                                      listed ? listing : error, kClipboardFormatsLabel),
                         command.licenseKey, command.id, listed, error);
}

void ListFiles(CommandCopy& command, const IdleHostCalls& host) {
  Push(command, kFileListResult, host.listOpenFiles(), kFileListLabel);
}

void DebugContext(CommandCopy& command, const IdleHostCalls& host) {
  const std::string target = JsonStringField(command.body, kFileNameMember);
  Push(command, kContextDebugResult, host.contextDebug(target), kContextDebugLabel);
}

void SetClipboard(CommandCopy& command, const IdleHostCalls& host) {
  const std::string xmlType = JsonStringField(command.body, kXmlTypeMember);
  const std::string xmlContent = JsonStringField(command.body, kXmlContentMember);
  // The reply is read no further: without it, the payload is in memory once fewer while the
  // clipboard takes its copies.
  std::string().swap(command.body);
  // Writing nothing would still empty the user's clipboard.
  if (xmlContent.empty()) {
    Fail(command, std::string(kXmlContentEmpty));
    return;
  }
  std::string error;
  const bool written = host.setXmlClipboard(xmlType, xmlContent, error);
  finishCommand(command.baseUrl, command.licenseKey, command.id, written, error);
}

using CommandHandler = void (*)(CommandCopy& command, const IdleHostCalls& host);

struct CommandRoute {
  std::string_view type;
  CommandHandler run;
};

// Types are matched byte for byte, case and all; anything else is answered as unknown.
constexpr std::array<CommandRoute, 6> kCommandRoutes = {{
    {kGetClipboardCommand, GetClipboard},
    {kGetClipboardFormatsCommand, GetClipboardFormats},
    {kListFilesCommand, ListFiles},
    {kDebugContextCommand, DebugContext},
    {kGetSchemaCommand,
     [](CommandCopy& command, const IdleHostCalls& host) { QueueSchemaCommand(command, host); }},
    {kSetClipboardCommand, SetClipboard},
}};

} // namespace

void DispatchCommand(CommandCopy command, const IdleHostCalls& host) {
  for (const CommandRoute& route : kCommandRoutes) {
    if (route.type == command.type) {
      route.run(command, host);
      return;
    }
  }
  Fail(command, UnknownCommandTypeMessage(command.type));
}

void onIdle(uint8_t idleLevel, const IdleHostCalls& host) {
  if (bridgeState().ShuttingDown()) return;
  if (!bridgeState().IsRegistered()) return;
  LearnRegisteredFileName(host);
  if (WatchSchemaCommand(idleLevel, host)) return;

  if (std::optional<CommandCopy> command = TakePendingCommand()) {
    // One command per idle call, and no poll beside it: the next call may poll.
    DispatchCommand(std::move(*command), host);
    return;
  }
  StartUpdateCheckIfDue();
  ConsiderPoll();
}

} // namespace tideloom
