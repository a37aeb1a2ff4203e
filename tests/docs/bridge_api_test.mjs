// Checks docs/bridge-api.yaml against OpenAPI 3.1 and against a running relay, which must answer
// every documented operation with a reply its schema allows. (The exact bytes of the relay's
// replies are the relay tests' concern.)
//   node bridge_api_test.mjs docs/bridge-api.yaml NODE_MODULES path/to/tideloom-relay
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { readFileSync } from 'node:fs';
import { join } from 'node:path';
import { pathToFileURL } from 'node:url';

import { request, startRelay } from '../relay_browser/relay_harness.mjs';

const [apiPath, modules, relayProgram] = process.argv.slice(2);

// From the folder tests/docs/install_node_packages.sh fills.
const importModule = (entry) => import(pathToFileURL(join(modules, entry)).href);

const { Validator } = await importModule('@seriousme/openapi-schema-validator/index.js');
const YAML = (await importModule('yaml/dist/index.js')).default;
const Ajv2020 = (await importModule('ajv/dist/2020.js')).default;

const apiText = readFileSync(apiPath, 'utf8');
const apiDoc = YAML.parse(apiText);
const METHODS = ['get', 'put', 'post', 'delete', 'patch', 'head', 'options'];

// Every operation as {method, path, operation}, method in upper case.
const documentedOperations = () => Object.entries(apiDoc.paths ?? {}).flatMap(([path, item]) =>
  METHODS.filter((method) => item[method]).map((method) => ({ method: method.toUpperCase(), path, operation: item[method] })));

function resolveRef(node) {
  while (node && node.$ref) {
    node = node.$ref
      .replace(/^#\//, '')
      .split('/')
      .reduce((at, key) => at[key.replace(/~1/g, '/').replace(/~0/g, '~')], apiDoc);
  }
  return node;
}

// A concrete address for a path template and its query, filled from the parameters' examples.
function sampleUrl(path, operation, values = {}) {
  const parameters = (operation.parameters ?? []).map(resolveRef);
  const filled = path.replace(/\{([^}]+)\}/g, (_, name) => {
    const parameter = parameters.find((p) => p.in === 'path' && p.name === name);
    assert.ok(parameter, `${path}: path parameter ${name} is not declared`);
    const value = values[name] ?? parameter.example;
    assert.ok(value !== undefined, `${path}: path parameter ${name} has no example`);
    return encodeURIComponent(String(value));
  });
  const query = new URLSearchParams();
  for (const parameter of parameters.filter((p) => p.in === 'query')) {
    const value = parameter.example ?? parameter.schema?.const;
    assert.ok(value !== undefined, `query parameter ${parameter.name} has no example`);
    query.set(parameter.name, String(value));
  }
  return query.size ? `${filled}?${query}` : filled;
}

// Every example of a request or response body in the document, with the schema it illustrates.
function bodyExamples() {
  const found = [];
  for (const { method, path, operation } of documentedOperations()) {
    const contents = Object.entries(operation.responses ?? {}).map(([status, response]) => [`response ${status}`, response]);
    if (operation.requestBody) contents.unshift(['request', operation.requestBody]);
    for (const [where, body] of contents) {
      for (const [mediaType, media] of Object.entries(resolveRef(body).content ?? {})) {
        const label = `${method} ${path} ${where} ${mediaType}`;
        const named = Object.entries(media.examples ?? {}).map(([name, example]) => [` (${name})`, resolveRef(example).value]);
        for (const [name, value] of media.example !== undefined ? [['', media.example], ...named] : named) {
          found.push({ label: label + name, operation, where, schema: media.schema, value });
        }
      }
    }
  }
  return found;
}

function schemaValidator() {
  const ajv = new Ajv2020({ strict: false, allErrors: true });
  const id = 'https://tideloom.invalid/bridge-api.json';
  ajv.addSchema({ $id: id, components: apiDoc.components });
  return (schema, value) => {
    const validate = ajv.compile(JSON.parse(JSON.stringify(schema).replaceAll('"#/components/', `"${id}#/components/`)));
    return validate(value) ? '' : ajv.errorsText(validate.errors);
  };
}

test('bridge-api.yaml is a valid OpenAPI 3.1 document whose references all resolve', async () => {
  const validator = new Validator();
  const result = await validator.validate(apiText);
  assert.equal(result.valid, true, JSON.stringify(result.errors, null, 2));
  assert.equal(validator.version, '3.1');
  assert.doesNotThrow(() => validator.resolveRefs());
});

test('every body example in bridge-api.yaml matches its schema', () => {
  const check = schemaValidator();
  const examples = bodyExamples().filter((example) => example.schema);
  assert.ok(examples.length >= 8, `only ${examples.length} examples found`);
  for (const example of examples) {
    assert.equal(check(example.schema, example.value), '', example.label);
  }
  // The schemas must also refuse what the plug-in would not read.
  const pollReply = { $ref: '#/components/schemas/PollReply' };
  assert.notEqual(check(pollReply, { command: { id: 7, type: 'LIST_FILES' } }), '');
  assert.notEqual(check(pollReply, { command: { id: '7' } }), '');
  assert.notEqual(check({ $ref: '#/components/schemas/Completion' }, { licenseKey: 'K', status: 'done' }), '');
});

test('a running relay answers every documented operation as documented', { timeout: 60000 }, async () => {
  const relay = await startRelay(relayProgram);
  try {
    const check = schemaValidator();
    const examples = bodyExamples();
    const byId = Object.fromEntries(documentedOperations().map((entry) => [entry.operation.operationId, entry]));
    const exercised = new Set();
    const call = async (operationId, { body, pathValues } = {}) => {
      assert.ok(byId[operationId], `bridge-api.yaml has no operation ${operationId}`);
      const { method, path, operation } = byId[operationId];
      exercised.add(operationId);
      const contentType = Object.keys(resolveRef(operation.requestBody)?.content ?? { 'application/json': 0 })[0];
      const payload = body ?? examples.find((e) => e.operation === operation && e.where === 'request')?.value;
      const reply = await request(method, relay.url + sampleUrl(path, operation, pathValues), payload, contentType);
      assert.ok(reply.status >= 200 && reply.status <= 299, `${operationId}: HTTP ${reply.status} ${reply.text}`);
      const documented = resolveRef(operation.responses['200'])?.content?.['application/json']?.schema;
      if (documented) assert.equal(check(documented, JSON.parse(reply.text)), '', `${operationId} reply ${reply.text}`);
      return JSON.parse(reply.text);
    };

    await call('register');
    assert.equal((await call('nextCommand')).command, null);

    const queued = await request('POST', relay.url + '/dev/commands', {
      licenseKey: 'K1', type: 'SET_CLIPBOARD', xmlType: 'XMSS', xmlContent: '<fmxmlsnippet>"quoted"</fmxmlsnippet>',
    });
    const id = JSON.parse(queued.text).id;
    assert.equal((await call('nextCommand')).command.id, id);

    await call('pushResult');
    await call('postDiagnostic');
    await call('ingestSchema', { body: new Uint8Array([0x3c, 0x00, 0xff, 0x3e]) });
    await call('completeCommand', { pathValues: { id } });
    assert.equal((await call('pluginVersion')).version, '1.6.18');

    assert.deepEqual([...exercised].sort(), Object.keys(byId).sort());
  } finally {
    await relay.stop();
  }
});
