// Checks docs/functions.md against the built plug-in as fmhost loads it: one section per function
// it registers, with the registered prototype, and every message it answers with documented.
//   node functions_reference_test.mjs docs/functions.md FMHOST PLUGIN
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { readFileSync } from 'node:fs';

const [docPath, fmhost, plugin] = process.argv.slice(2);
const doc = readFileSync(docPath, 'utf8');
const run = (args) => execFileSync(fmhost, ['--plugin', plugin, ...args], { encoding: 'utf8' });
const description = JSON.parse(run(['--describe']));
const functions = description.functions;

// The results of expressions evaluated in one run, in order (so that earlier ones may set up
// the clipboard for later ones).
function evaluate(expressions) {
  const lines = run(['--json', ...expressions.flatMap((expression) => ['--eval', expression])]);
  return lines.trim().split('\n').map((line) => JSON.parse(line).result ?? '');
}

// The code-formatted pieces of the first cell of every row of the tables headed "| Message |".
function documentedMessages() {
  const fragments = [];
  let inMessageTable = false;
  for (const line of doc.split('\n')) {
    const firstCell = line.startsWith('|') ? line.split(/(?<!\\)\|/)[1].trim() : undefined;
    if (firstCell === 'Message') inMessageTable = true;
    else if (firstCell === undefined) inMessageTable = false;
    else if (inMessageTable) fragments.push(...[...firstCell.matchAll(/`([^`]+)`/g)].map((m) => m[1]));
  }
  return fragments;
}

const withoutBlanks = (text) => text.replace(/\s+/g, '');

test('every registered function has a section with its registered prototype', () => {
  const sections = [...doc.matchAll(/^## (TideLoom\.[A-Za-z]+)\n+```\n([^\n]+)\n```/gm)];
  assert.deepEqual(sections.map((match) => match[1]).sort(), functions.map((entry) => entry.name).sort());
  for (const entry of functions) {
    const section = sections.find((match) => match[1] === entry.name);
    assert.equal(withoutBlanks(section[2]), withoutBlanks(entry.prototype), entry.name);
    // Parameters in braces are optional: the host must refuse calls outside that range.
    const [required, optional = ''] = section[2].replace(/^[^(]*\(?|\)?$/g, '').split('{');
    const count = (text) => text.split(';').filter((name) => name.trim()).length;
    assert.deepEqual([entry.min, entry.max], [count(required), count(required) + count(optional)], entry.name);
    assert.ok(doc.includes(`(#${entry.name.toLowerCase().replace('.', '')})`), `${entry.name} is not in the index`);
  }
});

test('every message the plug-in answers with is documented as it writes it', () => {
  // Each required parameter left empty in turn, the others filled with text that is no URL.
  const expressions = functions.flatMap(({ name, min }) =>
    Array.from({ length: min }, (_, empty) => {
      const values = Array.from({ length: min }, (_, i) => (i === empty ? '""' : '"x"'));
      return `${name} ( ${values.join(' ; ')} )`;
    }),
  );
  expressions.push(
    'TideLoom.ReadFile ( "/no/such/file" )',
    'TideLoom.HTTPPost ( "no url" ; "{}" )',
    'TideLoom.UploadFile ( "x" ; "x" ; "x" ; "/no/such/file" )',
    'TideLoom.SetTextClipboard ( "" )',
    'TideLoom.PrepareXMLClipboard',
    'TideLoom.SetTextClipboard ( "plain" )',
    'TideLoom.PrepareXMLClipboard',
    'TideLoom.PushScript ( "x" ; "x" ; "XMSS" )',
  );
  const fragments = documentedMessages();
  const messages = evaluate(expressions).filter((result) => /^ERROR: |failed|^Cannot /i.test(result));
  assert.ok(messages.length >= 20, `only ${messages.length} messages seen`);
  for (const message of messages) {
    assert.ok(
      fragments.some((fragment) => message.startsWith(fragment.replace(/ N$/, ''))),
      `"${message}" is not in a message table of functions.md`,
    );
  }
});

test('the stated version, help address and default service are those of the plug-in', () => {
  const [version, context] = evaluate(['TideLoom.Version', 'TideLoom.DebugContext']);
  assert.ok(doc.includes(`TideLoom ${version} adds nineteen functions`));
  assert.ok(doc.includes(`download at ${description.strings['132'].replace(/^https:\/\//, '')}`));
  assert.ok(doc.includes(JSON.parse(context).baseUrl));
});
