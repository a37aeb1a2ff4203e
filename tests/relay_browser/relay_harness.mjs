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

// A relay on a fresh data folder, which stop() removes again. The relay's output is kept for failure
// reports, and the relay is always ended: by stop(), or by coreutils' timeout should the test
// itself be killed before it can clean up.
export async function startRelay(relayProgram) {
  const folder = await mkdtemp(path.join(tmpdir(), "tideloom-relay-"));
  const child = spawn("timeout", ["--kill-after=5", "600", relayProgram, "--host", "127.0.0.1",
    "--port", "0", "--data", path.join(folder, "relay-data")], { stdio: ["ignore", "pipe", "pipe"] });
  const output = { text: "" };
  // Bounded, so a chatty relay cannot eat the test's memory.
  const keep = (chunk) => { output.text = (output.text + chunk.toString()).slice(-20000); };
  child.stdout.on("data", keep);
  child.stderr.on("data", keep);
  const exited = new Promise((resolve) => child.once("exit", () => resolve(true)));
  const stop = async () => {
    if (child.exitCode === null && child.signalCode === null) {
      child.kill("SIGTERM");
      if (!(await Promise.race([exited, sleep(5000)]))) {
        child.kill("SIGKILL");
        await exited;
      }
    }
    await rm(folder, { recursive: true, force: true });
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

// Retries `check` until it stops throwing.
export async function eventually(check, timeoutMs = 20000) {
  const deadline = Date.now() + timeoutMs;
  for (;;) {
    try {
      return await check();
    } catch (error) {
      if (Date.now() > deadline) throw error;
      await sleep(100);
    }
  }
}

// One request as the plug-in sends it: a JSON body unless given as text or bytes.
export async function request(method, url, body, contentType = "application/json") {
  const init = { method, headers: { "User-Agent": "TideLoom/1.0" } };
  if (body !== undefined) {
    init.body = typeof body === "string" || body instanceof Uint8Array ? body : JSON.stringify(body);
    init.headers["Content-Type"] = contentType;
  }
  const response = await fetch(url, init);
  return { status: response.status, text: await response.text() };
}

async function send(method, url, body, contentType) {
  const { status, text } = await request(method, url, body, contentType);
  if (status < 200 || status > 299) throw new Error(`${method} ${url} answered ${status}: ${text}`);
  return JSON.parse(text);
}

// The plug-in's side of the protocol, request by request, for one account key. JSON.stringify
// leaves out members that are undefined, as the plug-in leaves out absent ones.
export function bridgeStandIn(relayUrl, licenseKey) {
  const post = (path, body, contentType) => send("POST", relayUrl + path, body, contentType);
  const key = encodeURIComponent(licenseKey);
  return {
    licenseKey,
    register: (email, machineId) =>
      post("/api/bridge/register", { email, licenseKey, machineId, pluginVersion: PLUGIN_VERSION }),
    // Polls until the relay hands out a command; the page has queued it by then or soon after.
    nextCommand: () => eventually(async () => {
      const { command } = await send("GET", `${relayUrl}/api/bridge/command/next?licenseKey=${key}&version=${PLUGIN_VERSION}`);
      if (!command) throw new Error("no command was queued for " + licenseKey);
      return command;
    }),
    push: (xmlType, xmlContent, label) => post("/api/bridge/push", { licenseKey, xmlType, xmlContent, label }),
    diagnostic: (code, status, message) => post("/api/bridge/diagnostic", { licenseKey, code, status, message }),
    complete: (id, status, error) => post(`/api/bridge/command/${id}/complete`, { licenseKey, status, error }),
    upload: (fileName, bytes) =>
      post(`/api/live/ingest/${key}?filename=${encodeURIComponent(fileName)}`, bytes, "application/octet-stream"),
  };
}
