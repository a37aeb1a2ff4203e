// The relay's page: reads the development endpoints and shows them. Every text from the relay
// goes into the page through textContent or an attribute, never as markup.
"use strict";

const TideLoomPage = (() => {
  const COMMAND_TYPES = [
    {
      type: "LIST_FILES",
      payload: [],
      help: "Lists the files open in FileMaker.",
    },
    {
      type: "GET_CLIPBOARD",
      payload: ["xmlType"],
      help: "Reads FileMaker XML from the clipboard. XML type AUTO (or empty) takes whatever FileMaker XML is there.",
    },
    {
      type: "GET_CLIPBOARD_FORMATS",
      payload: [],
      help: "Lists the formats on the clipboard.",
    },
    {
      type: "SET_CLIPBOARD",
      payload: ["xmlType", "xmlContent"],
      help: "Puts the XML on the clipboard as the given type, ready to paste in FileMaker.",
    },
    {
      type: "DEBUG_CONTEXT",
      payload: ["fileName"],
      help: "Reports FileMaker's calculation context, with the named file as target.",
    },
    {
      type: "GET_SCHEMA",
      payload: ["fileName"],
      help: "Has FileMaker run the \u201cTideLoom Live Push\u201d script in the named file once it is active; the saved XML arrives under Ingested schema files.",
    },
  ];
  const XML_TYPES = ["AUTO", "XMSS", "XMSC", "XMFD", "XMTB", "XMLO", "XMFN", "XMVL", "XML2"];
  const STATE_LABELS = { queued: "queued", in_flight: "in flight", completed: "completed", failed: "failed" };
  const ACTIVE_STATES = new Set(["queued", "in_flight"]);
  const FAST_REFRESH_MS = 1000;
  const SLOW_REFRESH_MS = 5000;
  const SHOWN_COMMANDS = 100;
  // Pretty-printing a very large document would freeze the tab on every refresh.
  const PRETTY_LIMIT = 2 * 1024 * 1024;

  // ---- small helpers ------------------------------------------------------------------------

  function element(tag, className, text) {
    const node = document.createElement(tag);
    if (className) node.className = className;
    if (text !== undefined && text !== null) node.textContent = String(text);
    return node;
  }

  function byId(id) {
    return document.getElementById(id);
  }

  async function getJson(path, options) {
    const response = await fetch(path, Object.assign({ cache: "no-store" }, options));
    let body = null;
    try {
      body = await response.json();
    } catch (error) {
      body = null;
    }
    if (!response.ok) {
      const reason = body && typeof body.error === "string" ? body.error : "HTTP " + response.status;
      throw new Error(reason);
    }
    return body;
  }

  // The relay takes POSTs from its own page only when they declare JSON.
  function postJson(path, value) {
    return getJson(path, {
      method: "POST",
      headers: { "Content-Type": "application/json" },
      body: JSON.stringify(value),
    });
  }

  function parseTime(text) {
    const ms = Date.parse(text);
    return Number.isNaN(ms) ? null : ms;
  }

  function clockTime(text) {
    const ms = parseTime(text);
    if (ms === null) return text || "";
    const date = new Date(ms);
    const two = (n) => String(n).padStart(2, "0");
    return two(date.getHours()) + ":" + two(date.getMinutes()) + ":" + two(date.getSeconds());
  }

  function dayAndTime(text) {
    const ms = parseTime(text);
    if (ms === null) return text || "";
    return new Date(ms).toLocaleDateString(undefined, { month: "short", day: "numeric" }) + " " + clockTime(text);
  }

  function duration(fromText, toText) {
    const from = parseTime(fromText);
    const to = parseTime(toText);
    if (from === null || to === null) return "";
    const seconds = Math.max(0, to - from) / 1000;
    return seconds < 10 ? seconds.toFixed(2) + " s" : seconds < 120 ? seconds.toFixed(1) + " s" : Math.round(seconds) + " s";
  }

  function byteSize(size) {
    const n = Number(size) || 0;
    if (n < 1024) return n + " B";
    if (n < 1024 * 1024) return (n / 1024).toFixed(1) + " KB";
    return (n / (1024 * 1024)).toFixed(1) + " MB";
  }

  // ---- result formatting --------------------------------------------------------------------

  function listItems(text) {
    return String(text).split(/\r\n|\r|\n/).filter((line) => line.trim() !== "");
  }

  function escapeXmlText(text) {
    return text.replace(/&/g, "&amp;").replace(/</g, "&lt;").replace(/>/g, "&gt;");
  }

  function escapeXmlAttribute(text) {
    return escapeXmlText(text).replace(/"/g, "&quot;").replace(/\n/g, "&#10;").replace(/\r/g, "&#13;").replace(/\t/g, "&#9;");
  }

  // The document indented two blanks a level, or null when it is not well-formed XML.
  function prettyXml(text) {
    if (typeof text !== "string" || text.length > PRETTY_LIMIT) return null;
    const doc = new DOMParser().parseFromString(text, "application/xml");
    if (doc.getElementsByTagName("parsererror").length > 0) return null;
    const lines = [];
    const declaration = /^\s*(<\?xml[^?]*\?>)/.exec(text);
    if (declaration) lines.push(declaration[1]);
    for (const node of doc.childNodes) writeXmlNode(node, 0, lines);
    return lines.join("\n");
  }

  function attributesText(node) {
    let text = "";
    for (const attribute of node.attributes) {
      text += " " + attribute.name + "=\"" + escapeXmlAttribute(attribute.value) + "\"";
    }
    return text;
  }

  function isBlankText(node) {
    return node.nodeType === Node.TEXT_NODE && node.data.trim() === "";
  }

  function inlineText(node) {
    if (node.nodeType === Node.CDATA_SECTION_NODE) return "<![CDATA[" + node.data + "]]>";
    return escapeXmlText(node.data);
  }

  function writeXmlNode(node, depth, lines) {
    const pad = "  ".repeat(depth);
    switch (node.nodeType) {
      case Node.ELEMENT_NODE: {
        const open = "<" + node.nodeName + attributesText(node);
        const children = Array.from(node.childNodes).filter((child) => !isBlankText(child));
        if (children.length === 0) {
          lines.push(pad + open + "/>");
          return;
        }
        const only = children[0];
        const textual = only.nodeType === Node.TEXT_NODE || only.nodeType === Node.CDATA_SECTION_NODE;
        if (children.length === 1 && textual && !/[\r\n]/.test(only.data)) {
          lines.push(pad + open + ">" + inlineText(only) + "</" + node.nodeName + ">");
          return;
        }
        lines.push(pad + open + ">");
        for (const child of children) writeXmlNode(child, depth + 1, lines);
        lines.push(pad + "</" + node.nodeName + ">");
        return;
      }
      case Node.TEXT_NODE:
        lines.push(pad + escapeXmlText(node.data.trim()));
        return;
      case Node.CDATA_SECTION_NODE:
        lines.push(pad + "<![CDATA[" + node.data + "]]>");
        return;
      case Node.COMMENT_NODE:
        lines.push(pad + "<!--" + node.data + "-->");
        return;
      case Node.PROCESSING_INSTRUCTION_NODE:
        lines.push(pad + "<?" + node.target + (node.data ? " " + node.data : "") + "?>");
        return;
      case Node.DOCUMENT_TYPE_NODE:
        lines.push("<!DOCTYPE " + node.name + ">");
        return;
      default:
        return;
    }
  }

  // The JSON indented two blanks a level, or null when the text is not JSON.
  function prettyJson(text) {
    if (typeof text !== "string" || text.length > PRETTY_LIMIT) return null;
    try {
      return JSON.stringify(JSON.parse(text), null, 2);
    } catch (error) {
      return null;
    }
  }

  // How a result's content reads best: { kind: "list", items } or { kind: "xml"|"json"|"text", text }.
  function formatResult(xmlType, content) {
    const text = typeof content === "string" ? content : content === undefined || content === null ? "" : JSON.stringify(content);
    if (xmlType === "FILE_LIST" || xmlType === "CLIPBOARD_FORMATS") {
      return { kind: "list", items: listItems(text) };
    }
    const start = text.trimStart();
    if (start.startsWith("<")) {
      const xml = prettyXml(text);
      if (xml !== null) return { kind: "xml", text: xml };
    }
    if (start.startsWith("{") || start.startsWith("[")) {
      const json = prettyJson(text);
      if (json !== null) return { kind: "json", text: json };
    }
    return { kind: "text", text };
  }

  function renderFormatted(formatted) {
    if (formatted.kind === "list") {
      if (formatted.items.length === 0) return element("p", "empty", "(empty list)");
      const list = element("ul", "value-list");
      for (const item of formatted.items) list.append(element("li", null, item));
      return list;
    }
    const pre = element("pre", "code " + formatted.kind, formatted.text === "" ? "(empty)" : formatted.text);
    pre.tabIndex = 0;
    return pre;
  }

  // ---- page state ---------------------------------------------------------------------------

  const state = {
    details: new Map(), // id -> the command as /dev/commands/<id> last showed it
    cards: new Map(), // id -> { node, signature }
    keyTouched: false,
    registeredKeys: new Set(),
    knownFiles: [],
    timer: null,
    running: false,
    again: false,
  };

  // ---- registrations ------------------------------------------------------------------------

  function renderRegistrations(registrations) {
    const table = byId("registrations");
    const body = table.tBodies[0];
    const newest = registrations.slice().sort((a, b) => String(b.lastAt).localeCompare(String(a.lastAt)));
    byId("registrations-empty").hidden = newest.length > 0;
    table.hidden = newest.length === 0;
    const rows = [];
    for (const r of newest) {
      const row = element("tr");
      row.dataset.licenseKey = r.licenseKey;
      row.append(element("td", "mono", r.licenseKey), element("td", null, r.email), element("td", "mono", r.machineId),
        element("td", null, r.pluginVersion));
      const last = element("td", "when", dayAndTime(r.lastAt));
      last.title = "first registered " + r.firstAt + ", last " + r.lastAt;
      row.append(last, element("td", "number", r.count));
      const use = element("button", "small", "Use key");
      use.type = "button";
      use.addEventListener("click", () => {
        byId("license-key").value = r.licenseKey;
        state.keyTouched = true;
        updateKeyHint();
      });
      const cell = element("td");
      cell.append(use);
      row.append(cell);
      rows.push(row);
    }
    body.replaceChildren(...rows);

    state.registeredKeys = new Set(newest.map((r) => r.licenseKey));
    const options = Array.from(state.registeredKeys, (key) => {
      const option = element("option");
      option.value = key;
      return option;
    });
    byId("known-keys").replaceChildren(...options);
    const keyInput = byId("license-key");
    if (!state.keyTouched && keyInput.value === "" && newest.length > 0) keyInput.value = newest[0].licenseKey;
    updateKeyHint();
  }

  function updateKeyHint() {
    const key = byId("license-key").value;
    const hint = byId("key-hint");
    const unknown = key !== "" && !state.registeredKeys.has(key);
    hint.hidden = !unknown;
    hint.className = "hint warn";
    hint.textContent = unknown ? "No installation has registered with this key; the command waits until one polls for it." : "";
  }

  // ---- queue form ---------------------------------------------------------------------------

  function commandType(name) {
    return COMMAND_TYPES.find((entry) => entry.type === name) || COMMAND_TYPES[0];
  }

  function showPayloadFields() {
    const chosen = commandType(byId("command-type").value);
    byId("type-help").textContent = chosen.help;
    for (const field of document.querySelectorAll("[data-payload]")) {
      field.hidden = !chosen.payload.includes(field.dataset.payload);
    }
  }

  function setupForm() {
    const select = byId("command-type");
    for (const entry of COMMAND_TYPES) {
      const option = element("option", null, entry.type);
      option.value = entry.type;
      select.append(option);
    }
    byId("xml-types").replaceChildren(...XML_TYPES.map((type) => {
      const option = element("option");
      option.value = type;
      return option;
    }));
    select.addEventListener("change", showPayloadFields);
    byId("license-key").addEventListener("input", () => {
      state.keyTouched = true;
      updateKeyHint();
    });
    byId("queue-form").addEventListener("submit", (event) => {
      event.preventDefault();
      queueCommand();
    });
    showPayloadFields();
  }

  async function queueCommand() {
    const outcome = byId("queue-outcome");
    const button = byId("queue-button");
    const chosen = commandType(byId("command-type").value);
    const command = { licenseKey: byId("license-key").value.trim(), type: chosen.type };
    const inputs = { xmlType: byId("xml-type"), xmlContent: byId("xml-content"), fileName: byId("file-name") };
    for (const name of chosen.payload) {
      // SET_CLIPBOARD sends its members even when empty: the plug-in writes whatever it is given.
      const value = inputs[name].value;
      if (value !== "" || chosen.type === "SET_CLIPBOARD") command[name] = value;
    }
    button.disabled = true;
    outcome.className = "outcome";
    outcome.textContent = "Queuing\u2026";
    try {
      const reply = await postJson("/dev/commands", command);
      outcome.textContent = "Queued " + chosen.type + " as #" + reply.id + ".";
    } catch (error) {
      outcome.className = "outcome error";
      outcome.textContent = "Not queued: " + error.message;
    } finally {
      button.disabled = false;
    }
    refreshSoon();
  }

  function fillSetClipboard(xmlType, content) {
    byId("command-type").value = "SET_CLIPBOARD";
    showPayloadFields();
    byId("xml-type").value = xmlType;
    byId("xml-content").value = content;
    byId("queue-panel").scrollIntoView({ behavior: "smooth", block: "start" });
  }

  // ---- commands -----------------------------------------------------------------------------

  function needsDetail(summary) {
    const known = state.details.get(summary.id);
    return !known || known.state !== summary.state || ACTIVE_STATES.has(summary.state);
  }

  function signature(summary, detail) {
    if (!detail) return summary.state + "|none";
    return [summary.state, detail.finishedAt, detail.pushes.length, detail.diagnostics.length,
      detail.completions.length, detail.ingested.length].join("|");
  }

  async function renderCommands(summaries) {
    const newest = summaries.slice().reverse().slice(0, SHOWN_COMMANDS);
    const wanted = newest.filter(needsDetail);
    const fetched = await Promise.all(wanted.map((summary) =>
      getJson("/dev/commands/" + encodeURIComponent(summary.id)).catch(() => null)));
    fetched.forEach((detail) => {
      if (detail) state.details.set(detail.id, detail);
    });

    const list = byId("commands");
    const nodes = [];
    const shown = new Set();
    for (const summary of newest) {
      const detail = state.details.get(summary.id);
      const current = detail && detail.state === summary.state ? detail : null;
      const mark = signature(summary, current);
      let card = state.cards.get(summary.id);
      if (!card || card.signature !== mark) {
        card = { node: renderCommand(summary, current), signature: mark };
        state.cards.set(summary.id, card);
      }
      nodes.push(card.node);
      shown.add(summary.id);
    }
    for (const id of Array.from(state.cards.keys())) {
      if (!shown.has(id)) state.cards.delete(id);
    }
    // Moving only what changed keeps scroll positions and selections in untouched cards.
    nodes.forEach((node, index) => {
      if (list.children[index] !== node) list.insertBefore(node, list.children[index] || null);
    });
    while (list.children.length > nodes.length) list.lastElementChild.remove();

    byId("commands-empty").hidden = summaries.length > 0;
    const more = byId("commands-more");
    more.hidden = summaries.length <= SHOWN_COMMANDS;
    more.textContent = "The " + (summaries.length - SHOWN_COMMANDS) + " oldest commands are not shown; /dev/commands lists them all.";
    rememberFiles();
    return summaries.some((summary) => ACTIVE_STATES.has(summary.state));
  }

  function renderCommand(summary, detail) {
    const source = detail || summary;
    const card = element("li", "command state-" + summary.state);
    card.dataset.commandId = summary.id;
    card.dataset.state = summary.state;

    const head = element("div", "command-head");
    head.append(element("span", "command-id", "#" + summary.id), element("span", "command-type", summary.type));
    head.append(element("span", "badge state-" + summary.state, STATE_LABELS[summary.state] || summary.state));
    let meta = "for " + summary.licenseKey + " \u00b7 queued " + clockTime(summary.queuedAt);
    if (source.finishedAt) meta += " \u00b7 round trip " + duration(source.queuedAt, source.finishedAt);
    head.append(element("span", "command-meta", meta));
    card.append(head);

    const payload = element("dl", "payload");
    for (const name of ["xmlType", "fileName", "xmlContent"]) {
      if (typeof source[name] !== "string") continue;
      let value = source[name];
      if (name === "xmlContent" && value.length > 160) value = value.slice(0, 160) + "\u2026 (" + byteSize(source[name].length) + ")";
      payload.append(element("dt", null, name), element("dd", "mono", value === "" ? "(empty)" : value));
    }
    if (payload.children.length > 0) card.append(payload);

    if (detail && detail.completion && detail.completion.error) {
      card.append(element("p", "command-error", detail.completion.error));
    }
    if (summary.state === "in_flight") card.append(releaseActions(summary.id));
    if (!detail) return card;

    const body = element("div", "command-body");
    const results = element("div", "results");
    if (detail.pushes.length > 0) {
      results.append(element("h3", null, detail.pushes.length === 1 ? "Result" : "Results"));
      for (const push of detail.pushes) results.append(renderPush(push));
    } else if (!ACTIVE_STATES.has(detail.state)) {
      const note = detail.type === "SET_CLIPBOARD" ? "This command reports only its completion." : "No result was pushed for this command.";
      results.append(element("h3", null, "Result"), element("p", "empty", note));
    } else {
      results.append(element("h3", null, "Result"), element("p", "empty", "Waiting for the plug-in\u2026"));
    }
    if (detail.ingested.length > 0) {
      results.append(element("h3", null, "Ingested files"));
      const files = element("ul", "value-list");
      for (const file of detail.ingested) {
        const item = element("li");
        item.append(downloadLink(file), document.createTextNode(" \u00b7 " + byteSize(file.size)));
        files.append(item);
      }
      results.append(files);
    }
    const timelinePart = element("div", "timeline-part");
    timelinePart.append(element("h3", null, "Timeline"), renderTimeline(detail));
    body.append(results, timelinePart);
    card.append(body);
    return card;
  }

  // For a command whose plug-in went away: it would otherwise stay in flight for ever.
  function releaseActions(id) {
    const actions = element("div", "command-actions");
    const outcome = element("span", "outcome");
    outcome.setAttribute("role", "status");
    for (const [label, action] of [["Re-queue", "requeue"], ["Mark failed", "fail"]]) {
      const button = element("button", "small", label);
      button.type = "button";
      button.addEventListener("click", async () => {
        button.disabled = true;
        try {
          await postJson("/dev/commands/" + encodeURIComponent(id) + "/" + action, {});
        } catch (error) {
          outcome.className = "outcome error";
          outcome.textContent = error.message;
        }
        button.disabled = false;
        refreshSoon();
      });
      actions.append(button);
    }
    actions.append(outcome);
    return actions;
  }

  function renderPush(push) {
    const section = element("section", "result");
    const data = push.body && typeof push.body === "object" ? push.body : null;
    const xmlType = data && typeof data.xmlType === "string" ? data.xmlType : "";
    const content = data ? data.xmlContent : push.bodyText;
    const head = element("div", "result-head");
    head.append(element("span", "result-title", data && data.label ? data.label : xmlType || "Result"));
    if (xmlType) head.append(element("span", "result-kind", xmlType));
    const formatted = formatResult(xmlType, content);
    if (formatted.kind === "xml" && typeof content === "string") {
      const reuse = element("button", "small", "Use for SET_CLIPBOARD");
      reuse.type = "button";
      reuse.addEventListener("click", () => fillSetClipboard(xmlType, content));
      head.append(reuse);
    }
    section.append(head, renderFormatted(formatted));
    return section;
  }

  function timelineEntry(at, origin, tone, code, message) {
    const item = element("li", "tone-" + tone);
    const offset = duration(origin, at);
    const time = element("span", "at", offset ? "+" + offset : clockTime(at));
    time.title = at || "";
    item.append(time, element("span", "code-name", code));
    if (message) item.append(element("span", "message", message));
    item.dataset.at = at || "";
    return item;
  }

  function renderTimeline(detail) {
    const origin = detail.queuedAt;
    const entries = [{ at: detail.queuedAt, order: 0, node: timelineEntry(detail.queuedAt, origin, "neutral", "queued") }];
    if (detail.handedOutAt) {
      entries.push({ at: detail.handedOutAt, order: 1, node: timelineEntry(detail.handedOutAt, origin, "progress", "handed out", "the plug-in fetched it") });
    }
    for (const event of detail.diagnostics) {
      const record = event.body && typeof event.body === "object" ? event.body : {};
      const tone = record.status === "error" ? "bad" : "progress";
      const text = typeof record.message === "string" ? record.message : event.bodyText || "";
      const code = typeof record.code === "string" ? record.code : "status record";
      entries.push({ at: event.receivedAt, order: 2, node: timelineEntry(event.receivedAt, origin, tone, code, text) });
    }
    for (const event of detail.pushes) {
      const record = event.body && typeof event.body === "object" ? event.body : {};
      const what = [record.label, record.xmlType].filter((part) => typeof part === "string" && part).join(" \u00b7 ");
      entries.push({ at: event.receivedAt, order: 2, node: timelineEntry(event.receivedAt, origin, "progress", "result", what) });
    }
    for (const file of detail.ingested) {
      entries.push({ at: file.receivedAt, order: 2, node: timelineEntry(file.receivedAt, origin, "progress", "file stored", file.name + " (" + byteSize(file.size) + ")") });
    }
    for (const event of detail.completions) {
      const record = event.body && typeof event.body === "object" ? event.body : {};
      let tone = record.status === "completed" ? "good" : "bad";
      let text = typeof record.error === "string" ? record.error : "";
      let code = typeof record.status === "string" ? record.status : "completion";
      if (event.status >= 400) {
        tone = "bad";
        code = "completion refused";
        text = event.error || "HTTP " + event.status;
      }
      entries.push({ at: event.receivedAt, order: 3, node: timelineEntry(event.receivedAt, origin, tone, code, text) });
    }
    entries.sort((a, b) => (parseTime(a.at) || 0) - (parseTime(b.at) || 0) || a.order - b.order);
    const list = element("ol", "timeline");
    for (const entry of entries) list.append(entry.node);
    return list;
  }

  // The relay builds these links itself; anything else is not followed.
  function downloadLink(file) {
    const url = typeof file.url === "string" && file.url.startsWith("/dev/ingested/") ? file.url : null;
    const link = element(url ? "a" : "span", "mono", file.name);
    if (url) {
      link.href = url;
      link.setAttribute("download", file.name);
    }
    return link;
  }

  // Names from the newest file list, offered in the file name box.
  function rememberFiles() {
    let newest = null;
    for (const detail of state.details.values()) {
      for (const push of detail.pushes) {
        if (push.body && push.body.xmlType === "FILE_LIST" && (!newest || push.seq > newest.seq)) newest = push;
      }
    }
    if (!newest) return;
    const names = listItems(newest.body.xmlContent || "");
    if (names.join("\n") === state.knownFiles.join("\n")) return;
    state.knownFiles = names;
    byId("known-files").replaceChildren(...names.map((name) => {
      const option = element("option");
      option.value = name;
      return option;
    }));
  }

  // ---- ingested files -----------------------------------------------------------------------

  function renderIngested(files) {
    const table = byId("files");
    byId("files-empty").hidden = files.length > 0;
    table.hidden = files.length === 0;
    const rows = files.slice().reverse().map((file) => {
      const row = element("tr");
      const name = element("td");
      name.append(downloadLink(file));
      row.append(name, element("td", null, file.originalName), element("td", "number", byteSize(file.size)),
        element("td", "when", dayAndTime(file.receivedAt)), element("td", null, file.commandId ? "#" + file.commandId : "\u2014"));
      return row;
    });
    table.tBodies[0].replaceChildren(...rows);
  }

  // ---- refreshing ---------------------------------------------------------------------------

  function showRefreshState(active, failure) {
    const label = byId("refresh-state");
    if (failure) {
      label.className = "refresh-state offline";
      label.textContent = "Could not refresh (" + failure + "); trying again\u2026";
    } else if (active) {
      label.className = "refresh-state live";
      label.textContent = "Commands in flight \u00b7 refreshing every second";
    } else {
      label.className = "refresh-state";
      label.textContent = "Up to date " + clockTime(new Date().toISOString()) + " \u00b7 checks every 5 s";
    }
  }

  async function refresh() {
    if (state.running) {
      state.again = true;
      return;
    }
    state.running = true;
    clearTimeout(state.timer);
    let active = false;
    try {
      const [registrations, commands, ingested] = await Promise.all([
        getJson("/dev/registrations"), getJson("/dev/commands"), getJson("/dev/ingested")]);
      renderRegistrations(registrations.registrations);
      active = await renderCommands(commands.commands);
      renderIngested(ingested.ingested);
      showRefreshState(active, null);
    } catch (error) {
      showRefreshState(false, error.message);
    } finally {
      state.running = false;
      const again = state.again;
      state.again = false;
      if (again) {
        refresh();
      } else {
        state.timer = setTimeout(refresh, active ? FAST_REFRESH_MS : SLOW_REFRESH_MS);
      }
    }
  }

  function refreshSoon() {
    refresh();
  }

  function start() {
    byId("relay-address").textContent = window.location.origin;
    setupForm();
    byId("refresh-now").addEventListener("click", refreshSoon);
    refresh();
  }

  return { start, formatResult, prettyXml, prettyJson, listItems };
})();

document.addEventListener("DOMContentLoaded", TideLoomPage.start);
