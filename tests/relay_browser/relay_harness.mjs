// What the browser test runs against: a relay on a free loopback port with a fresh data folder,
// fmhost running the plug-in from a scenario, and a stand-in that speaks the bridge's side of the
// protocol over HTTP for the cases fmhost cannot stage (clipboard XML, script runs, failures).
import { spawn } from "node:child_process";
import { mkdtemp, rm, writeFile } from "node:fs/promises";
import { tmpdir } from "node:os";
import path from "node:path";
import { setTimeout as sleep } from "node:timers/promises";

export const PLUGIN_VERSION = "1.6.18";

export async function makeTemporaryFolder() {
  return mkdtemp(path.join(tmpdir(), "tideloom-page-"));
}

export async function removeFolder(folder) {
  if (folder) await rm(folder, { recursive: true, force: true });
}

// A child process whose output is kept for failure reports, and that is always ended: by stop(),
// or by coreutils' timeout should this test itself be killed before it can clean up.
function startProcess(program, args, options) {
  const child = spawn("timeout", ["--kill-after=5", "600", program, ...args],
    { stdio: ["ignore", "pipe", "pipe"], ...options });
  const output = { text: "" };
  const keep = (chunk) => {
    // Bounded, so a chatty child cannot eat the test's memory.
    output.text = (output.text + chunk.toString()).slice(-20000);
  };
  child.stdout.on("data", keep);
  child.stderr.on("data", keep);
  const exited = new Promise((resolve) => child.once("exit", (code, signal) => resolve({ code, signal })));
  return { child, output, exited };
}

async function stopProcess(handle) {
  if (!handle || handle.child.exitCode !== null || handle.child.signalCode !== null) return;
  handle.child.kill("SIGTERM");
  const ended = await Promise.race([handle.exited, sleep(5000).then(() => null)]);
  if (!ended) {
    handle.child.kill("SIGKILL");
    await handle.exited;
  }
}

export async function startRelay(relayProgram, dataFolder) {
  const handle = startProcess(relayProgram, ["--host", "127.0.0.1", "--port", "0", "--data", dataFolder]);
  const deadline = Date.now() + 15000;
  while (Date.now() < deadline) {
    const match = /listening on (http:\/\/127\.0\.0\.1:\d+)/.exec(handle.output.text);
    if (match) return { ...handle, url: match[1], stop: () => stopProcess(handle) };
    if (handle.child.exitCode !== null) break;
    await sleep(50);
  }
  await stopProcess(handle);
  throw new Error("tideloom-relay did not start:\n" + handle.output.text);
}

// fmhost registers with the relay and then idles, polling and running commands, until stopped.
export async function startFmhost({ fmhost, plugin, solution, relayUrl, licenseKey, folder }) {
  const scenario = path.join(folder, "register-and-idle.txt");
  await writeFile(scenario, [
    `eval TideLoom.Register ( "dev@example.com" ; "${licenseKey}" ; "machine" ; "${relayUrl}" )`,
    "idle 240000",
    "",
  ].join("\n"));
  // Its settings file goes to a folder of the test's own, never the developer's.
  const home = path.join(folder, "home");
  const env = { ...process.env, HOME: home, XDG_CONFIG_HOME: path.join(home, ".config") };
  const handle = startProcess(fmhost, ["--plugin", plugin, "--solution", solution, "--run", scenario], { env });
  return { ...handle, stop: () => stopProcess(handle) };
}

async function send(method, url, body, contentType) {
  const response = await fetch(url, {
    method,
    headers: body === undefined ? {} : { "Content-Type": contentType || "application/json" },
    body: body === undefined ? undefined : typeof body === "string" || body instanceof Uint8Array ? body : JSON.stringify(body),
  });
  const text = await response.text();
  if (!response.ok) throw new Error(`${method} ${url} answered ${response.status}: ${text}`);
  return JSON.parse(text);
}

// The plug-in's side of the protocol, request by request, for one account key.
export function bridgeStandIn(relayUrl, licenseKey) {
  return {
    licenseKey,
    register: (email, machineId) =>
      send("POST", relayUrl + "/api/bridge/register", { email, licenseKey, machineId, pluginVersion: PLUGIN_VERSION }),
    // Polls until the relay hands out a command; the page has queued it by then or soon after.
    async nextCommand(timeoutMs = 20000) {
      const deadline = Date.now() + timeoutMs;
      const url = `${relayUrl}/api/bridge/command/next?licenseKey=${encodeURIComponent(licenseKey)}&version=${PLUGIN_VERSION}`;
      while (Date.now() < deadline) {
        const reply = await send("GET", url);
        if (reply.command) return reply.command;
        await sleep(100);
      }
      throw new Error("no command was queued for " + licenseKey);
    },
    push: (xmlType, xmlContent, label) =>
      send("POST", relayUrl + "/api/bridge/push", label === undefined
        ? { licenseKey, xmlType, xmlContent }
        : { licenseKey, xmlType, xmlContent, label }),
    diagnostic: (code, status, message) =>
      send("POST", relayUrl + "/api/bridge/diagnostic", { licenseKey, code, status, message }),
    complete: (id, status, error) =>
      send("POST", `${relayUrl}/api/bridge/command/${id}/complete`,
        error === undefined ? { licenseKey, status } : { licenseKey, status, error }),
    upload: (fileName, bytes) =>
      send("POST", `${relayUrl}/api/live/ingest/${encodeURIComponent(licenseKey)}?filename=${encodeURIComponent(fileName)}`,
        bytes, "application/octet-stream"),
  };
}
