// What the browser and documents tests run against: a relay on a free loopback port with a fresh
// data folder, and a stand-in that speaks the bridge's side of the protocol over HTTP, so that
// clipboard XML, script runs and failures can be staged exactly (the plug-in itself talks to the
// relay in the end-to-end test).
import { spawn } from "node:child_process";
import { mkdtemp, rm } from "node:fs/promises";
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

// The relay's output is kept for failure reports, and the relay is always ended: by stop(), or by
// coreutils' timeout should the test itself be killed before it can clean up.
export async function startRelay(relayProgram, dataFolder) {
  const child = spawn("timeout", ["--kill-after=5", "600", relayProgram, "--host", "127.0.0.1",
    "--port", "0", "--data", dataFolder], { stdio: ["ignore", "pipe", "pipe"] });
  const output = { text: "" };
  // Bounded, so a chatty relay cannot eat the test's memory.
  const keep = (chunk) => { output.text = (output.text + chunk.toString()).slice(-20000); };
  child.stdout.on("data", keep);
  child.stderr.on("data", keep);
  const exited = new Promise((resolve) => child.once("exit", () => resolve(true)));
  const stop = async () => {
    if (child.exitCode !== null || child.signalCode !== null) return;
    child.kill("SIGTERM");
    if (!(await Promise.race([exited, sleep(5000)]))) {
      child.kill("SIGKILL");
      await exited;
    }
  };
  const deadline = Date.now() + 15000;
  while (Date.now() < deadline && child.exitCode === null) {
    const match = /listening on (http:\/\/127\.0\.0\.1:\d+)/.exec(output.text);
    if (match) return { url: match[1], output, stop };
    await sleep(50);
  }
  await stop();
  throw new Error("tideloom-relay did not start:\n" + output.text);
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
