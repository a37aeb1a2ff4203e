#!/usr/bin/env node
// Queues one command of each type on a running tideloom-relay, runs the plug-in inside fmhost
// until the bridge has fetched them, and prints what happened as the relay recorded it.
// Usage: demo_driver.mjs --relay URL --fmhost PATH --plugin PATH --solution FILE --work DIR
//                        [--key KEY] [--idle-ms MS]
// Exit status: 0 when every command completed, 1 otherwise, 2 for a usage error.
import { spawn } from 'node:child_process';
import { mkdirSync, writeFileSync } from 'node:fs';
import { join } from 'node:path';
import { createInterface } from 'node:readline';

const options = parseArguments(process.argv.slice(2));
const relay = options.relay.replace(/\/+$/, '');
const key = options.key ?? 'demo-key';
// Six polls 3 s apart take 15 s; the rest is room for a slow machine and the schema script.
const idleMs = Number(options['idle-ms'] ?? 25000);

const colour = process.stdout.isTTY && !process.env.NO_COLOR;
const paint = (code) => (text) => (colour ? `\x1b[${code}m${text}\x1b[0m` : String(text));
const bold = paint('1');
const dim = paint('2');
const green = paint('32');
const red = paint('31');
const cyan = paint('36');
const yellow = paint('33');
const indent = ' '.repeat(9);

const snippet =
  '<fmxmlsnippet type="FMObjectList">' +
  '<Step enable="True" id="89" name="# (comment)">' +
  '<Text>Written by the TideLoom demo</Text></Step>' +
  '<Step enable="True" id="141" name="Set Variable">' +
  '<Value><Calculation><![CDATA[TideLoom.Version]]></Calculation></Value>' +
  '<Repetition><Calculation><![CDATA[1]]></Calculation></Repetition>' +
  '<Name>$version</Name></Step></fmxmlsnippet>';

// The clipboard is written before its formats are listed, so that the listing has something in it.
const plan = [
  { type: 'LIST_FILES' },
  { type: 'DEBUG_CONTEXT', fileName: 'Contacts' },
  { type: 'SET_CLIPBOARD', xmlType: 'XMSS', xmlContent: snippet },
  { type: 'GET_CLIPBOARD_FORMATS' },
  { type: 'GET_CLIPBOARD', xmlType: 'XMSS' },
  { type: 'GET_SCHEMA', fileName: 'Sales' },
];

// The order in which the plug-in sends a schema command's status records; their background
// senders may deliver them in another order.
const statusOrder = ['LR_SCHEMA_QUEUED', 'LR_SCRIPT_TRIGGER', 'LR_SCRIPT_TRIGGERED', 'LR_TIMEOUT',
  'LR_SCRIPT_ERROR'];

// id -> the queued command, with handedOut, finishedSeenAt, reported and, once finished, detail
const commands = new Map();
let startedAt = Date.now();
let lastSeq = 0;
// fmhost's lines wait here so that they are printed in time order with the relay's events.
let hostLines = [];

main().then(
  (code) => process.exit(code),
  (problem) => {
    console.error(red(`demo: ${problem.message}`));
    process.exit(1);
  },
);

async function main() {
  mkdirSync(join(options.work, 'settings'), { recursive: true });
  mkdirSync(join(options.work, 'tmp'), { recursive: true });

  lastSeq = (await relayGet('/dev/events?since=0&limit=1')).last ?? 0;
  console.log(bold(`Queueing one command of each type for the key "${key}"`));
  for (const command of plan) {
    const { id } = await relayPost('/dev/commands', { licenseKey: key, ...command });
    commands.set(id, { ...command, handedOut: false, finishedSeenAt: 0, reported: false });
    console.log(`  ${cyan(`#${id}`)} ${command.type}${payloadNote(command)}`);
  }

  const scenario = join(options.work, 'demo.scenario');
  writeFileSync(scenario, [
    '# Register with the local relay, then let the bridge poll it.',
    `eval TideLoom.Register ( "demo@example.com" ; "${key}" ; Get ( PersistentID ) ; "${relay}" )`,
    `idle ${idleMs}`,
    '',
  ].join('\n'));

  console.log();
  console.log(bold(`Running the plug-in in fmhost for ${Math.round(idleMs / 1000)} s ` +
    `(the bridge polls every 3 s)`));
  startedAt = Date.now();
  const exit = runFmhost(scenario);
  let exited = null;
  exit.then((result) => { exited = result; });
  let announcedAllDone = false;
  while (exited === null) {
    await followEvents();
    await reportFinishedCommands(false);
    if (!announcedAllDone && [...commands.values()].every((c) => c.reported)) {
      announcedAllDone = true;
      console.log(`${stamp(Date.now())} ${dim('all six finished; fmhost idles to the end of its ' +
        'scenario, then shuts the plug-in down')}`);
    }
    await Promise.race([exit, sleep(200)]);
  }
  await followEvents();
  await reportFinishedCommands(true);
  if (exited.code !== 0) {
    const how = exited.signal ? `signal ${exited.signal}` : `status ${exited.code}`;
    console.log(red(`fmhost ended with ${how}`));
  }
  return summarize(exited.code === 0);
}

function runFmhost(scenario) {
  const child = spawn(options.fmhost, [
    '--plugin', options.plugin, '--solution', options.solution, '--json', '--run', scenario,
  ], {
    stdio: ['ignore', 'pipe', 'pipe'],
    // Its own settings and temporary folders: the demo never touches the user's plug-in settings,
    // and the saved XML copies land where the demo cleans up.
    env: {
      ...process.env,
      XDG_CONFIG_HOME: join(options.work, 'settings'),
      TMPDIR: join(options.work, 'tmp'),
    },
  });
  const closed = Promise.all([
    forEachLine(child.stdout, (line) => hostLine(describeHostResult(line))),
    forEachLine(child.stderr, (line) => hostLine(indent + dim(line))),
  ]);
  const ended = new Promise((resolve) => {
    child.on('error', (problem) => resolve({ code: 1, signal: null, problem }));
    child.on('exit', (code, signal) => resolve({ code: code ?? 1, signal }));
  });
  // A hung host must not hang the demo: it gets its scenario's time and a generous margin.
  const guard = setTimeout(() => child.kill('SIGKILL'), idleMs + 60000);
  return Promise.all([ended, closed]).then(([result]) => {
    clearTimeout(guard);
    if (result.problem) console.log(red(`cannot run ${options.fmhost}: ${result.problem.message}`));
    return result;
  });
}

function hostLine(text) {
  hostLines.push({ at: Date.now(), text });
}

function describeHostResult(line) {
  let record;
  try {
    record = JSON.parse(line);
  } catch {
    return indent + dim(line);
  }
  const at = stamp(Date.now());
  const call = String(record.expr ?? '').replace(/\s*;\s*"http[^"]*"\s*\)$/, ' ; … )');
  if ('error' in record) return `${at} ${call} ${red(`→ error ${record.error}`)}`;
  const ok = record.result === 'OK';
  return `${at} ${call} → ${ok ? green(record.result) : red(record.result)}`;
}

async function followEvents() {
  const lines = hostLines;
  hostLines = [];
  const entries = lines.map((line) => ({ ...line, order: 0 }));
  try {
    const reply = await relayGet(`/dev/events?since=${lastSeq}&limit=500`);
    for (const event of reply.events ?? []) {
      lastSeq = Math.max(lastSeq, event.seq);
      const text = describeEvent(event);
      if (text) entries.push({ at: Date.parse(event.receivedAt), text, order: event.seq });
    }
  } catch (problem) {
    entries.push({ at: Date.now(), text: red(`relay unreachable: ${problem.message}`), order: 0 });
  }
  entries.sort((a, b) => a.at - b.at || a.order - b.order);
  for (const entry of entries) console.log(entry.text);
}

function describeEvent(event) {
  const command = commands.get(event.commandId);
  const at = stamp(Date.parse(event.receivedAt));
  if (event.kind === 'register') {
    const body = event.body ?? {};
    return `${at} registered ${body.email} (machine ${String(body.machineId).slice(0, 8)}…, ` +
      `plug-in ${body.pluginVersion})`;
  }
  if (event.kind === 'version') {
    return `${at} ${dim('update check: asked for the current plug-in version')}`;
  }
  if (event.kind === 'poll' && command && !command.handedOut) {
    command.handedOut = true;
    return `${at} ${cyan(`#${event.commandId} ${command.type}`)} handed out${payloadNote(command)}`;
  }
  if (event.kind === 'complete' && command && !command.finishedSeenAt) {
    command.finishedSeenAt = Date.now();
    return null;
  }
  if (event.status >= 400) {
    return yellow(`${at} ${event.method} ${event.path} answered HTTP ${event.status}`);
  }
  return null;
}

// A completion is reported a moment after it arrives, so that status records still on their way
// are part of the command's report.
async function reportFinishedCommands(all) {
  for (const [id, command] of commands) {
    if (command.reported || !command.finishedSeenAt) continue;
    if (!all && Date.now() - command.finishedSeenAt < 300) continue;
    command.reported = true;
    const detail = await relayGet(`/dev/commands/${encodeURIComponent(id)}`);
    command.detail = detail;
    printCommandReport(id, command, detail);
  }
}

function printCommandReport(id, command, detail) {
  const took = roundTrip(detail);
  const label = cyan(`#${id} ${command.type}`);
  const at = stamp(Date.parse(detail.finishedAt ?? new Date().toISOString()));
  if (detail.state === 'completed') {
    console.log(`${at} ${label} ${green('completed')} in ${took}`);
  } else {
    console.log(`${at} ${label} ${red(detail.state)} after ${took}`);
  }
  for (const push of detail.pushes ?? []) {
    const body = push.body ?? {};
    const fileListOfSchema = command.type === 'GET_SCHEMA' && body.xmlType === 'FILE_LIST';
    const what = fileListOfSchema ? 'open files' : 'result';
    console.log(`${indent}${what}: ${summarizeResult(body, command)}`);
  }
  if (command.type === 'SET_CLIPBOARD' && detail.state === 'completed') {
    console.log(`${indent}result: XML written (${command.xmlType}, ${bytes(command.xmlContent)})`);
  }
  const records = [...(detail.diagnostics ?? [])];
  records.sort((a, b) => rank(a) - rank(b) || a.seq - b.seq);
  for (const record of records) {
    const body = record.body ?? {};
    const paintStatus = body.status === 'error' ? red : dim;
    console.log(`${indent}status: ${body.code} ${paintStatus(`(${body.status})`)} ${body.message}`);
  }
  for (const file of detail.ingested ?? []) {
    const where = file.path ?? `${relay}${file.url}`;
    console.log(`${indent}schema XML stored at ${bold(where)} (${kilobytes(file.size)})`);
  }
  const error = detail.completion?.error;
  const alreadyShown = records.some((record) => record.body?.message === error);
  if (error && !alreadyShown) {
    console.log(`${indent}${detail.state === 'completed' ? 'note' : 'error'}: ${red(error)}`);
  }
}

function summarizeResult(body, command) {
  const content = String(body.xmlContent ?? '');
  switch (body.xmlType) {
    case 'FILE_LIST': {
      const names = lines(content);
      return `${names.length} open files and windows: ${preview(names)}`;
    }
    case 'CLIPBOARD_FORMATS': {
      const names = lines(content).map((line) => line.split('\t')[1] || line);
      if (names.length === 0) return 'the clipboard is empty';
      return `${names.length} clipboard formats: ${preview(names)}`;
    }
    case 'CONTEXT_DEBUG': {
      let context;
      try {
        context = JSON.parse(content);
      } catch {
        return `a context report that is not JSON (${bytes(content)})`;
      }
      const scripts = context.targetScriptNames ?? [];
      const livePush = Number(context.livePushVisible) > 0 ? 'has' : 'lacks';
      return `context of ${context.targetFile}: ${(context.windowNames ?? []).length} windows, ` +
        `account ${context.account} ${context.privilegeSet}, active file ${context.currentFile}, ` +
        `${scripts.length} scripts (${livePush} "TideLoom Live Push")`;
    }
    default: {
      const written = [...commands.values()].find((c) => c.type === 'SET_CLIPBOARD');
      const same = command.type === 'GET_CLIPBOARD' && written?.xmlContent === content;
      return `${body.xmlType}, ${bytes(content)}${same ? ', the snippet written before' : ''}`;
    }
  }
}

function summarize(hostOk) {
  console.log();
  console.log(bold('Round trips (handed out → finished, by the relay\'s clock)'));
  let completed = 0;
  for (const [id, command] of commands) {
    const detail = command.detail;
    let state = detail?.state ?? (command.handedOut ? 'in_flight' : 'queued');
    if (state === 'completed') completed += 1;
    const shown = state === 'completed' ? green(state) : red(state.replace('_', ' '));
    const took = detail ? roundTrip(detail) : '—';
    const width = colour ? 18 : 9; // escape codes take up nine characters
    console.log(`  ${cyan(`#${id}`.padEnd(4))} ${command.type.padEnd(22)} ${shown.padEnd(width)} ${took}`);
  }
  const total = commands.size;
  const line = `${completed} of ${total} completed`;
  console.log();
  console.log(bold(completed === total ? green(line) : red(line)));
  console.log(`Relay web page: ${bold(`${relay}/`)}`);
  return completed === total && hostOk ? 0 : 1;
}

function roundTrip(detail) {
  const from = Date.parse(detail.handedOutAt ?? '');
  const to = Date.parse(detail.finishedAt ?? '');
  if (Number.isNaN(from) || Number.isNaN(to)) return '—';
  const ms = to - from;
  return ms < 1000 ? `${ms} ms` : `${(ms / 1000).toFixed(1)} s`;
}

function rank(record) {
  const at = statusOrder.indexOf(record.body?.code);
  return at < 0 ? statusOrder.length : at;
}

function payloadNote(command) {
  const parts = [];
  if (command.fileName) parts.push(`file "${command.fileName}"`);
  if (command.xmlType) parts.push(`XML type ${command.xmlType}`);
  if (command.xmlContent) parts.push(bytes(command.xmlContent));
  return parts.length ? ` (${parts.join(', ')})` : '';
}

function lines(text) {
  return text.split(/\r\n|\r|\n/).filter((line) => line.trim() !== '');
}

function preview(names) {
  const shown = names.slice(0, 3).join(', ');
  return names.length > 3 ? `${shown}, …` : shown;
}

function bytes(text) {
  return `${Buffer.byteLength(String(text ?? ''), 'utf8')} bytes`;
}

function kilobytes(size) {
  return size >= 1024 ? `${Math.round(size / 1024)} KB` : `${size} bytes`;
}

function stamp(ms) {
  const seconds = Math.max(0, (ms - startedAt) / 1000);
  return dim(`[${seconds.toFixed(1).padStart(5)}s]`);
}

function sleep(ms) {
  return new Promise((resolve) => setTimeout(resolve, ms));
}

async function relayGet(path) {
  return relayRequest(path, { method: 'GET' });
}

async function relayPost(path, body) {
  return relayRequest(path, {
    method: 'POST',
    headers: { 'Content-Type': 'application/json' },
    body: JSON.stringify(body),
  });
}

async function relayRequest(path, init) {
  let reply;
  try {
    reply = await fetch(relay + path, { ...init, signal: AbortSignal.timeout(10000) });
  } catch (problem) {
    const why = problem.cause?.code ?? problem.cause?.message ?? problem.message;
    throw new Error(`cannot reach the relay at ${relay}: ${why}`);
  }
  const text = await reply.text();
  let json;
  try {
    json = JSON.parse(text);
  } catch {
    throw new Error(`${init.method} ${path}: HTTP ${reply.status}, not JSON: ${text.slice(0, 80)}`);
  }
  if (!reply.ok) {
    throw new Error(`${init.method} ${path}: HTTP ${reply.status}, ${json.error ?? text}`);
  }
  return json;
}

function forEachLine(stream, handle) {
  return new Promise((resolve) => {
    const reader = createInterface({ input: stream, crlfDelay: Infinity });
    reader.on('line', handle);
    reader.on('close', resolve);
  });
}

function parseArguments(args) {
  const known = ['relay', 'fmhost', 'plugin', 'solution', 'work', 'key', 'idle-ms'];
  const required = ['relay', 'fmhost', 'plugin', 'solution', 'work'];
  const parsed = {};
  for (let i = 0; i < args.length; i += 2) {
    const name = args[i].replace(/^--/, '');
    if (!args[i].startsWith('--') || !known.includes(name) || i + 1 >= args.length) {
      usage(`unknown or incomplete option "${args[i]}"`);
    }
    parsed[name] = args[i + 1];
  }
  for (const name of required) if (!parsed[name]) usage(`--${name} is required`);
  if (parsed['idle-ms'] !== undefined && !/^[1-9][0-9]*$/.test(parsed['idle-ms'])) {
    usage('--idle-ms takes a positive number of milliseconds');
  }
  return parsed;
}

function usage(problem) {
  console.error(`demo_driver: ${problem}`);
  console.error('usage: demo_driver.mjs --relay URL --fmhost PATH --plugin PATH --solution FILE ' +
    '--work DIR [--key KEY] [--idle-ms MS]');
  process.exit(2);
}
