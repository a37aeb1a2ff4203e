// Checks docs/functions.md against the plug-in's source: one section per registered function,
// with the registered prototype, and every message it lists written as the code writes it.
//   node functions_reference_test.mjs --doc docs/functions.md --source REPO
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { readFileSync, readdirSync } from 'node:fs';
import { join } from 'node:path';

function option(name) {
  const at = process.argv.indexOf(`--${name}`);
  return at > 0 && at + 1 < process.argv.length ? process.argv[at + 1] : undefined;
}

const docPath = option('doc');
const sourceRoot = option('source');
if (!docPath || !sourceRoot) {
  console.error('usage: functions_reference_test.mjs --doc FILE --source REPO');
  process.exit(2);
}
const doc = readFileSync(docPath, 'utf8');

function sourceFiles(folder) {
  return readdirSync(folder, { withFileTypes: true }).flatMap((entry) => {
    const full = join(folder, entry.name);
    if (entry.isDirectory()) return sourceFiles(full);
    return /\.(cpp|h)$/.test(entry.name) ? [full] : [];
  });
}

// C++ string literal bodies to text: \" \\ \n and \xHH sequences (UTF-8 bytes, as the code
// writes its dashes).
function unescapeCpp(body) {
  const bytes = [];
  for (let i = 0; i < body.length; i++) {
    const c = body[i];
    if (c !== '\\') {
      bytes.push(...Buffer.from(c, 'utf8'));
      continue;
    }
    const next = body[++i];
    if (next === 'x') {
      const hex = body.slice(i + 1).match(/^[0-9A-Fa-f]{1,2}/)[0];
      bytes.push(parseInt(hex, 16));
      i += hex.length;
    } else {
      bytes.push(...Buffer.from({ n: '\n', r: '\r', t: '\t' }[next] ?? next, 'utf8'));
    }
  }
  return Buffer.from(bytes).toString('utf8');
}

// Every string literal of the plug-in, adjacent literals ("a" "b") joined as the compiler does.
function sourceTexts() {
  const texts = [];
  for (const file of sourceFiles(join(sourceRoot, 'src'))) {
    const code = readFileSync(file, 'utf8').replace(/^\s*\/\/.*$/gm, '');
    for (const run of code.matchAll(/"(?:[^"\\\n]|\\.)*"(?:\s*"(?:[^"\\\n]|\\.)*")*/g)) {
      const pieces = [...run[0].matchAll(/"((?:[^"\\\n]|\\.)*)"/g)].map((piece) => unescapeCpp(piece[1]));
      texts.push(pieces.join(''));
    }
  }
  return texts;
}

// The function table of the plug-in: {100, "TideLoom.Version", "TideLoom.Version", ...}.
function registeredFunctions() {
  const registry = readFileSync(join(sourceRoot, 'src', 'plugin', 'function_registry.cpp'), 'utf8');
  return [...registry.matchAll(/\{\s*(\d+)\s*,\s*"(TideLoom\.[A-Za-z]+)"\s*,\s*"([^"]*)"/g)].map((match) => ({
    id: Number(match[1]),
    name: match[2],
    prototype: match[3],
  }));
}

// The first cell of every row of the tables headed "| Message |".
function documentedMessageCells() {
  const cells = [];
  let inMessageTable = false;
  for (const line of doc.split('\n')) {
    if (!line.startsWith('|')) {
      inMessageTable = false;
      continue;
    }
    const firstCell = line.split(/(?<!\\)\|/)[1].trim();
    if (firstCell === 'Message') inMessageTable = true;
    else if (inMessageTable && !/^-+$/.test(firstCell)) cells.push(firstCell);
  }
  return cells;
}

const withoutBlanks = (text) => text.replace(/\s+/g, '');

test('every registered function has a section with its registered prototype', () => {
  const functions = registeredFunctions();
  assert.equal(functions.length, 19);
  const sections = [...doc.matchAll(/^## (TideLoom\.[A-Za-z]+)\n+```\n([^\n]+)\n```/gm)].map((match) => ({
    name: match[1],
    prototype: match[2],
  }));
  assert.deepEqual(
    sections.map((section) => section.name).sort(),
    functions.map((entry) => entry.name).sort(),
  );
  for (const entry of functions) {
    const section = sections.find((candidate) => candidate.name === entry.name);
    assert.equal(withoutBlanks(section.prototype), withoutBlanks(entry.prototype), entry.name);
    assert.ok(doc.includes(`(#${entry.name.toLowerCase().replace('.', '')})`), `${entry.name} is not in the index`);
  }
});

test('every message the reference lists is written the same way in the code', () => {
  const texts = sourceTexts();
  const inCode = (fragment) => texts.some((text) => text.includes(fragment));
  const cells = documentedMessageCells();
  assert.ok(cells.length >= 40, `only ${cells.length} message rows found`);
  let checked = 0;
  for (const cell of cells) {
    for (const [, fragment] of cell.matchAll(/`([^`]+)`/g)) {
      // Network messages are the failed step's name, a fixed middle and the error number.
      const step = fragment.match(/^(.+) failed with Windows error N$/);
      const pieces = step ? [step[1], ' failed with Windows error '] : [fragment];
      for (const piece of pieces) {
        assert.ok(inCode(piece), `"${piece}" (from: ${cell}) does not occur in the plug-in's source`);
        checked++;
      }
    }
  }
  assert.ok(checked >= 50, `only ${checked} message fragments checked`);
});

test('the stated version, update notice and default service match the code', () => {
  const identity = readFileSync(join(sourceRoot, 'src', 'plugin', 'plugin_identity.h'), 'utf8');
  const webHost = identity.match(/#define TIDELOOM_WEB_HOST "([^"]+)"/)[1];
  const version = identity.match(/kVersionText\s*=\s*"([^"]+)"/)[1];
  assert.ok(doc.includes(`TideLoom ${version} adds nineteen functions`));
  assert.ok(doc.includes(`TideLoom plugin v1.7.0 is available — download at ${webHost}/guide#plugin`));
  assert.ok(doc.includes(`https://api.${webHost}`));
  assert.match(identity, /kDefaultBaseUrl\s*=\s*"https:\/\/api\." TIDELOOM_WEB_HOST/);
});
