// The relay's page in headless Chromium: queue commands through its form and watch the answers
// arrive without reloading, from a stand-in for the bridge.
import assert from "node:assert/strict";
import { existsSync } from "node:fs";
import { mkdir } from "node:fs/promises";
import { createRequire } from "node:module";
import path from "node:path";
import { after, before, describe, test } from "node:test";

// The page refreshes on its own, so checks are retried rather than anything clicked.
import { bridgeStandIn, eventually, startRelay } from "./relay_harness.mjs";

const CHROMIUM = "/usr/bin/chromium";
const root = path.resolve(path.dirname(new URL(import.meta.url).pathname), "../..");
const env = process.env;
const nodeDir = env.TIDELOOM_BROWSER_NODE_DIR || path.join(root, "build/npm/relay_browser");
const relayProgram = env.TIDELOOM_RELAY || path.join(root, "build/linux/bin/tideloom-relay");
const outputDir = env.TIDELOOM_TEST_OUTPUT || path.join(root, "build/linux/test-output");

function skip(reason) {
  console.log("relay page browser test skipped: " + reason);
  process.exit(77);
}

let chromium;
try {
  ({ chromium } = createRequire(path.join(nodeDir, "package.json"))("playwright-core"));
} catch (error) {
  skip(`playwright-core is not installed in ${nodeDir}; run tests/relay_browser/install_browser_test.sh`);
}
if (!existsSync(CHROMIUM)) skip(`${CHROMIUM} is missing; run tests/relay_browser/install_browser_test.sh`);
if (!existsSync(relayProgram)) skip(`${relayProgram} is not built`);

const MAIN_KEY = "DEV-KEY-1";
const STAGED_KEY = "STAGED-KEY-2";

describe("the relay's web page", () => {
  let relay, browser, page, staged;
  const pageErrors = [];

  before(async () => {
    relay = await startRelay(relayProgram);
    browser = await chromium.launch({ executablePath: CHROMIUM, args: ["--no-sandbox", "--disable-gpu", "--disable-quic"] });
    page = await browser.newPage({ viewport: { width: 1280, height: 900 } });
    page.on("pageerror", (error) => pageErrors.push("page error: " + error.message));
    page.on("console", (message) => {
      if (message.type() === "error") pageErrors.push("console: " + message.text() + " at " + JSON.stringify(message.location()));
    });
    staged = bridgeStandIn(relay.url, STAGED_KEY);
    await page.goto(relay.url + "/");
  });

  after(async () => {
    try {
      if (page) {
        await mkdir(outputDir, { recursive: true });
        await page.screenshot({ path: path.join(outputDir, "relay-page.png"), fullPage: true });
      }
    } finally {
      if (browser) await browser.close();
      if (relay) await relay.stop();
    }
  });

  const card = (id) => page.locator(`#commands li[data-command-id="${id}"]`);
  const texts = (locator) => locator.allTextContents();

  async function chooseCommand(type, fields = {}) {
    await page.selectOption("#command-type", type);
    for (const [selector, value] of Object.entries(fields)) await page.fill(selector, value);
  }

  // Submits the form and returns the id the page reports for the new command.
  async function queueThroughForm() {
    await page.click("#queue-button");
    const outcome = await eventually(async () => {
      const text = await page.textContent("#queue-outcome");
      assert.match(text, /^Queued \S+ as #\d+\.$/);
      return text;
    });
    return /#(\d+)/.exec(outcome)[1];
  }

  async function waitForState(id, state) {
    await eventually(async () => assert.equal(await card(id).getAttribute("data-state"), state));
  }

  // Queues a command through the form and has `bridge` take it with exactly these members.
  async function queueAndTake(bridge, type, fields = {}, members = {}) {
    await chooseCommand(type, fields);
    const id = await queueThroughForm();
    assert.deepEqual(await bridge.nextCommand(), { id, type, ...members });
    return id;
  }

  async function finish(bridge, id, status = "completed", error = undefined) {
    await bridge.complete(id, status, error);
    await waitForState(id, status);
  }

  test("a registered installation is listed and its key fills the queue form", async () => {
    await bridgeStandIn(relay.url, MAIN_KEY).register("dev@example.com", "machine");
    const row = page.locator(`#registrations tr[data-license-key="${MAIN_KEY}"]`);
    await eventually(async () => assert.equal(await row.count(), 1));
    const cells = await texts(row.locator("td"));
    assert.deepEqual(cells.slice(0, 4), [MAIN_KEY, "dev@example.com", "machine", "1.6.18"]);
    assert.equal(await page.inputValue("#license-key"), MAIN_KEY);
    assert.equal(await page.isVisible("#key-hint"), false);
  });

  test("LIST_FILES queued through the form comes back as the list of open files", async () => {
    await chooseCommand("LIST_FILES");
    for (const field of ["#xml-type", "#file-name", "#xml-content"]) {
      assert.equal(await page.isVisible(field), false, field + " belongs to other commands");
    }
    const main = bridgeStandIn(relay.url, MAIN_KEY);
    const id = await queueAndTake(main, "LIST_FILES");
    await waitForState(id, "in_flight");
    await main.push("FILE_LIST", "Sales\rContacts\rInventory", "Open Files");
    await finish(main, id);
    const files = await texts(card(id).locator(".value-list li"));
    for (const name of ["Sales", "Contacts", "Inventory"]) assert.ok(files.includes(name), `${name} in ${files}`);
    assert.equal(await card(id).locator(".badge").textContent(), "completed");
    assert.deepEqual(await texts(card(id).locator(".timeline .code-name")), ["queued", "handed out", "result", "completed"]);
  });

  test("clipboard XML and context JSON are indented, and XML goes back through SET_CLIPBOARD intact", async () => {
    await page.fill("#license-key", STAGED_KEY);

    const readId = await queueAndTake(staged, "GET_CLIPBOARD", { "#xml-type": "XMSS" }, { xmlType: "XMSS" });
    assert.equal(await page.isVisible("#file-name"), false);
    const xml = '<?xml version="1.0"?><fmxmlsnippet type="FMObjectList"><Step enable="True" id="89" ' +
      'name="# (comment)"><Text>a &lt; b &amp; "c"</Text><Calculation><![CDATA[If ( x < 1 ; "a" )]]>' +
      '</Calculation><Empty/></Step></fmxmlsnippet>';
    await staged.push("XMSS", xml);
    await finish(staged, readId);
    assert.equal(await card(readId).locator("pre.code.xml").textContent(), [
      '<?xml version="1.0"?>',
      '<fmxmlsnippet type="FMObjectList">',
      '  <Step enable="True" id="89" name="# (comment)">',
      '    <Text>a &lt; b &amp; "c"</Text>',
      '    <Calculation><![CDATA[If ( x < 1 ; "a" )]]></Calculation>',
      "    <Empty/>",
      "  </Step>",
      "</fmxmlsnippet>",
    ].join("\n"));

    const debugId = await queueAndTake(staged, "DEBUG_CONTEXT", { "#file-name": "Sales" }, { fileName: "Sales" });
    assert.equal(await page.isVisible("#xml-type"), false);
    const report = { target: "Sales", files: ["Sales", "Contacts"], layout: { name: "Invoices", table: "Invoices" } };
    await staged.push("CONTEXT_DEBUG", JSON.stringify(report), "FileMaker Context Debug");
    await finish(staged, debugId);
    assert.equal(await card(debugId).locator("pre.code.json").textContent(), JSON.stringify(report, null, 2));
    assert.equal(await card(debugId).locator(".result-title").textContent(), "FileMaker Context Debug");

    await card(readId).locator("button", { hasText: "Use for SET_CLIPBOARD" }).click();
    assert.equal(await page.inputValue("#command-type"), "SET_CLIPBOARD");
    assert.equal(await page.isVisible("#xml-content"), true);
    const writeId = await queueThroughForm();
    assert.deepEqual(await staged.nextCommand(), { id: writeId, type: "SET_CLIPBOARD", xmlType: "XMSS", xmlContent: xml });
    await finish(staged, writeId);
    assert.equal(await card(writeId).locator(".command-error").count(), 0);
  });

  test("GET_SCHEMA's status records form a timeline and its uploaded file downloads from the page", async () => {
    const id = await queueAndTake(staged, "GET_SCHEMA", { "#file-name": "Sales" }, { fileName: "Sales" });
    await staged.diagnostic("LR_SCHEMA_QUEUED", "received", 'Queued \u2014 waiting for "Sales" to be active in FileMaker...');
    await eventually(async () => assert.deepEqual(
      await texts(card(id).locator(".timeline .code-name")), ["queued", "handed out", "LR_SCHEMA_QUEUED"]));
    await staged.diagnostic("LR_SCRIPT_TRIGGER", "received", 'Triggering "TideLoom Live Push" in "Sales"...');
    await staged.diagnostic("LR_SCRIPT_TRIGGERED", "received", 'Script queued \u2014 waiting for FileMaker to run "TideLoom Live Push"...');
    const schema = '<?xml version="1.0" encoding="UTF-8"?>\n<FMSaveAsXML File="Sales.fmp12">Caf\u00e9</FMSaveAsXML>\n';
    await staged.upload("Sales.fmp12.xml", new TextEncoder().encode(schema));
    await finish(staged, id);

    const timeline = card(id).locator(".timeline li");
    assert.deepEqual(await texts(timeline.locator(".code-name")), [
      "queued", "handed out", "LR_SCHEMA_QUEUED", "LR_SCRIPT_TRIGGER", "LR_SCRIPT_TRIGGERED", "file stored", "completed"]);
    assert.equal(await timeline.nth(2).locator(".message").textContent(),
      'Queued \u2014 waiting for "Sales" to be active in FileMaker...');

    const link = page.locator("#files tbody a", { hasText: "Sales.fmp12.xml" });
    await eventually(async () => assert.equal(await link.count(), 1));
    assert.equal(await link.getAttribute("download"), "Sales.fmp12.xml");
    const row = await texts(page.locator("#files tbody tr", { has: page.locator("a", { hasText: "Sales.fmp12.xml" }) }).locator("td"));
    assert.equal(row[4], "#" + id);
    assert.equal(await page.evaluate(async (href) => (await fetch(href)).text(), await link.getAttribute("href")), schema);
  });

  test("failures and hostile texts are shown as plain text and never run", async () => {
    const hostile = bridgeStandIn(relay.url, "HOSTILE-KEY");
    await hostile.register('<img src=x onerror="window.__ran=1">', "<b>machine</b>");
    const fileName = "<script>window.__ran=2</script>";
    const failure = '<img src=x onerror="window.__ran=3">No file named that';
    await page.fill("#license-key", "HOSTILE-KEY");
    const id = await queueAndTake(hostile, "DEBUG_CONTEXT", { "#file-name": fileName }, { fileName });
    await hostile.push("CONTEXT_DEBUG", "<a><b></a>", "FileMaker Context Debug");
    await hostile.diagnostic("LR_TIMEOUT", "error", '<img src=x onerror="window.__ran=4">');
    await finish(hostile, id, "failed", failure);

    assert.equal(await card(id).locator(".command-error").textContent(), failure);
    assert.equal(await card(id).locator(".payload dd").first().textContent(), fileName);
    // Not well-formed: shown exactly as received rather than half-indented.
    assert.equal(await card(id).locator("pre.code").textContent(), "<a><b></a>");
    const timeline = card(id).locator(".timeline li");
    assert.equal(await timeline.filter({ hasText: "LR_TIMEOUT" }).locator(".message").textContent(),
      '<img src=x onerror="window.__ran=4">');
    assert.deepEqual((await texts(timeline.locator(".code-name"))).slice(-1), ["failed"]);
    const row = page.locator('#registrations tr[data-license-key="HOSTILE-KEY"] td');
    await eventually(async () => assert.equal(await row.nth(1).textContent(), '<img src=x onerror="window.__ran=1">'));
    assert.equal(await page.locator("main img, main script, main b").count(), 0);
    assert.equal(await page.evaluate(() => window.__ran), undefined);
  });

  test("a command whose plug-in went away is re-queued, then failed, from its card", async () => {
    await page.fill("#license-key", STAGED_KEY);
    const id = await queueAndTake(staged, "LIST_FILES");
    await waitForState(id, "in_flight");
    await card(id).locator("button", { hasText: "Re-queue" }).click();
    assert.equal((await staged.nextCommand()).id, id);
    await waitForState(id, "in_flight");
    await card(id).locator("button", { hasText: "Mark failed" }).click();
    await waitForState(id, "failed");
    assert.equal(await card(id).locator(".command-error").textContent(), "marked failed on the relay's page");
  });

  test("the page raised no script or policy errors", () => {
    assert.deepEqual(pageErrors, []);
  });
});
