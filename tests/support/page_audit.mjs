// Opens pages of a running gateway in headless Chromium, through the DevTools protocol
// on a pipe, and checks each as users of assistive technology, of the keyboard and of
// phones meet it: every page at a desktop and a phone width, in light and dark, is run
// through axe-core's WCAG 2.1 A and AA rules (and its best practices) and must not be
// wider than its window; no focus stop hides under the sticky bar, every focus ring
// stands out 3:1, and j/k start from what is on screen; every page passes Chromium's
// check that it can be installed as an app (Page.getInstallabilityErrors) and names its
// theme colour for light and dark. Each view leaves a screenshot.
//
//   node page_audit.mjs --chromium PATH --base URL --label NAME --shots DIR
//                       [--upload name=FILE]... name=target...
//
// A page given --upload is the page its upload form leads to: the target is opened, FILE
// set on its file field (as a user picks it) and the form sent.
//
// Prints one line per view and the faults found; exits 0 when there are none, 1 when
// there are, 2 when the check itself could not run.

import { spawn } from 'node:child_process';
import { mkdtempSync, readFileSync, rmSync, writeFileSync, mkdirSync } from 'node:fs';
import { createRequire } from 'node:module';
import { tmpdir } from 'node:os';
import { join } from 'node:path';

const kCallTimeoutMs = 30000;
const kRunTimeoutMs = 420000;  // under the test's own limit (480 s), so the browser is always ended
const kMaxFocusStops = 300;
const kShotMaxHeight = 4000;

const kViews = [
  { width: 1280, height: 900, mobile: false, name: 'desktop' },
  { width: 390, height: 844, mobile: true, name: 'phone' },
];
const kSchemes = ['light', 'dark'];
// WCAG 2.1 A and AA, and axe's best practices on top: unique landmark names and no
// skipped heading levels are among them.
const kRules = ['wcag2a', 'wcag2aa', 'wcag21a', 'wcag21aa', 'best-practice'];

function parseArgs(argv) {
  const opts = { pages: [], uploads: {} };
  for (let i = 0; i < argv.length; i++) {
    const a = argv[i];
    if (a === '--chromium') opts.chromium = argv[++i];
    else if (a === '--base') opts.base = argv[++i];
    else if (a === '--label') opts.label = argv[++i];
    else if (a === '--shots') opts.shots = argv[++i];
    else if (a === '--upload') {
      const u = argv[++i];
      opts.uploads[u.slice(0, u.indexOf('='))] = u.slice(u.indexOf('=') + 1);
    }
    else if (a.includes('=')) {
      const at = a.indexOf('=');
      opts.pages.push({ name: a.slice(0, at), target: a.slice(at + 1) });
    } else throw new Error('unknown argument: ' + a);
  }
  if (!opts.chromium || !opts.base || !opts.pages.length) throw new Error('usage: --chromium PATH --base URL name=target...');
  opts.label = opts.label || 'pages';
  return opts;
}

// The DevTools protocol over --remote-debugging-pipe: JSON messages ended by NUL, written
// to the browser's fd 3 and read from its fd 4.
class Browser {
  constructor(path) {
    this.profile = mkdtempSync(join(tmpdir(), 'norvane-audit-'));
    this.proc = spawn(path, [
      '--headless', '--no-sandbox', '--disable-gpu', '--hide-scrollbars', '--mute-audio',
      '--disable-background-networking', '--disable-component-update', '--disable-sync',
      '--disable-default-apps', '--disable-extensions', '--no-first-run', '--no-default-browser-check',
      '--remote-debugging-pipe', '--user-data-dir=' + this.profile, 'about:blank',
    ], { stdio: ['ignore', 'ignore', 'pipe', 'pipe', 'pipe'] });
    this.stderr = '';
    this.proc.stderr.on('data', (d) => { if (this.stderr.length < 20000) this.stderr += d; });
    this.nextId = 1;
    this.pending = new Map();
    this.listeners = [];
    this.buffer = Buffer.alloc(0);
    this.proc.stdio[4].on('data', (chunk) => this.receive(chunk));
    this.closed = new Promise((resolve) => this.proc.on('exit', () => {
      for (const { reject } of this.pending.values()) reject(new Error('the browser ended'));
      this.pending.clear();
      resolve();
    }));
  }

  receive(chunk) {
    this.buffer = Buffer.concat([this.buffer, chunk]);
    for (let end; (end = this.buffer.indexOf(0)) >= 0;) {
      const msg = JSON.parse(this.buffer.subarray(0, end).toString('utf8'));
      this.buffer = this.buffer.subarray(end + 1);
      if (msg.id !== undefined) {
        const call = this.pending.get(msg.id);
        if (!call) continue;
        this.pending.delete(msg.id);
        clearTimeout(call.timer);
        if (msg.error) call.reject(new Error(call.method + ': ' + msg.error.message));
        else call.resolve(msg.result);
      } else {
        for (const l of this.listeners) l(msg);
      }
    }
  }

  send(method, params = {}, sessionId) {
    const id = this.nextId++;
    const msg = { id, method, params };
    if (sessionId) msg.sessionId = sessionId;
    return new Promise((resolve, reject) => {
      const timer = setTimeout(() => {
        this.pending.delete(id);
        reject(new Error(method + ': no answer in time'));
      }, kCallTimeoutMs);
      this.pending.set(id, { resolve, reject, timer, method });
      this.proc.stdio[3].write(JSON.stringify(msg) + '\0');
    });
  }

  on(listener) { this.listeners.push(listener); }

  async close() {
    try { await Promise.race([this.send('Browser.close'), new Promise((r) => setTimeout(r, 3000))]); } catch { /* ended */ }
    const killer = setTimeout(() => this.proc.kill('SIGKILL'), 3000);
    await this.closed;
    clearTimeout(killer);
    rmSync(this.profile, { recursive: true, force: true });
  }
}

// One tab, with what it logs and what failed to load.
class Tab {
  constructor(browser, sessionId) {
    this.b = browser;
    this.s = sessionId;
    this.problems = [];
    this.loadWaiters = [];
    browser.on((msg) => {
      if (msg.sessionId !== sessionId) return;
      const p = msg.params || {};
      if (msg.method === 'Page.loadEventFired') {
        for (const w of this.loadWaiters.splice(0)) w();
      } else if (msg.method === 'Runtime.exceptionThrown') {
        this.problems.push('script error: ' + (p.exceptionDetails.exception?.description || p.exceptionDetails.text));
      } else if (msg.method === 'Runtime.consoleAPICalled' && (p.type === 'error' || p.type === 'warning')) {
        this.problems.push('console ' + p.type + ': ' + p.args.map((a) => a.value ?? a.description).join(' '));
      } else if (msg.method === 'Log.entryAdded' && (p.entry.level === 'error' || p.entry.level === 'warning')) {
        this.problems.push('log ' + p.entry.level + ': ' + p.entry.text + (p.entry.url ? ' (' + p.entry.url + ')' : ''));
      } else if (msg.method === 'Network.responseReceived' && p.response.status >= 400) {
        this.problems.push('HTTP ' + p.response.status + ': ' + p.response.url);
      } else if (msg.method === 'Network.loadingFailed' && !p.canceled) {
        this.problems.push('load failed: ' + p.errorText);
      }
    });
  }

  send(method, params) { return this.b.send(method, params, this.s); }

  async eval(expression) {
    const r = await this.send('Runtime.evaluate', { expression, awaitPromise: true, returnByValue: true });
    if (r.exceptionDetails) throw new Error('in page: ' + (r.exceptionDetails.exception?.description || r.exceptionDetails.text));
    return r.result.value;
  }

  async open(url) {
    const loaded = new Promise((resolve, reject) => {
      const timer = setTimeout(() => reject(new Error('page did not load in time: ' + url)), kCallTimeoutMs);
      this.loadWaiters.push(() => { clearTimeout(timer); resolve(); });
    });
    const nav = await this.send('Page.navigate', { url });
    if (nav.errorText) throw new Error('navigation failed: ' + nav.errorText + ' ' + url);
    await loaded;
    await this.eval('document.fonts.ready.then(() => true)');
  }

  // The page's file field given the file, then its form sent: waits for the page it leads to.
  async upload(file) {
    const loaded = new Promise((resolve, reject) => {
      const timer = setTimeout(() => reject(new Error('the upload did not lead to a page in time')), kCallTimeoutMs);
      this.loadWaiters.push(() => { clearTimeout(timer); resolve(); });
    });
    const { root } = await this.send('DOM.getDocument', { depth: 0 });
    const { nodeId } = await this.send('DOM.querySelector', { nodeId: root.nodeId, selector: 'input[type="file"]' });
    if (!nodeId) throw new Error('the page has no file field');
    await this.send('DOM.setFileInputFiles', { files: [file], nodeId });
    await this.eval(`(() => { const f = document.querySelector('input[type="file"]').form;
      f.querySelector('button[type="submit"]').click(); return true; })()`);
    await loaded;
    await this.eval('document.fonts.ready.then(() => true)');
  }

  async key(key, shift = false) {
    const code = key === 'Tab' ? 'Tab' : 'Key' + key.toUpperCase();
    const vk = key === 'Tab' ? 9 : key.toUpperCase().charCodeAt(0);
    const base = { key, code, windowsVirtualKeyCode: vk, nativeVirtualKeyCode: vk, modifiers: shift ? 8 : 0 };
    await this.send('Input.dispatchKeyEvent', { type: 'keyDown', ...base, text: key === 'Tab' ? undefined : key });
    await this.send('Input.dispatchKeyEvent', { type: 'keyUp', ...base });
  }
}

// Functions evaluated inside the page.
const kBarBottom = `(() => { const b = document.querySelector('.topbar');
  return b && getComputedStyle(b).position === 'sticky' ? b.getBoundingClientRect().bottom : 0; })()`;

// The contrast of the focused element's ring with what lies behind it (WCAG 1.4.11):
// the outline's colour against the first opaque background of its parents, the
// translucent ones blended over it.
const kRingContrast = `((el) => {
  const parse = (c) => {
    let m = /^rgba?\\(([\\d.]+),\\s*([\\d.]+),\\s*([\\d.]+)(?:,\\s*([\\d.]+))?\\)$/.exec(c);
    if (m) return [+m[1] / 255, +m[2] / 255, +m[3] / 255, m[4] === undefined ? 1 : +m[4]];
    m = /^color\\(srgb ([\\d.e-]+) ([\\d.e-]+) ([\\d.e-]+)(?: \\/ ([\\d.]+))?\\)$/.exec(c);
    if (m) return [+m[1], +m[2], +m[3], m[4] === undefined ? 1 : +m[4]];
    return null;
  };
  const lum = (c) => { const f = (v) => v <= 0.03928 ? v / 12.92 : Math.pow((v + 0.055) / 1.055, 2.4);
    return 0.2126 * f(c[0]) + 0.7152 * f(c[1]) + 0.0722 * f(c[2]); };
  const cs = getComputedStyle(el);
  if (cs.outlineStyle === 'none' || parseFloat(cs.outlineWidth) < 2) return { ring: 'none' };
  const ring = parse(cs.outlineColor);
  if (!ring) return { ring: cs.outlineColor };
  const layers = [];
  for (let n = el.parentElement; n; n = n.parentElement) {
    const b = parse(getComputedStyle(n).backgroundColor);
    if (b && b[3] > 0) { layers.push(b); if (b[3] >= 1) break; }
  }
  let back = matchMedia('(prefers-color-scheme: dark)').matches ? [0.07, 0.07, 0.07] : [1, 1, 1];
  for (const l of layers.reverse()) back = [0, 1, 2].map((i) => l[i] * l[3] + back[i] * (1 - l[3]));
  const a = lum(ring), b = lum(back);
  return { ring: cs.outlineColor, ratio: (Math.max(a, b) + 0.05) / (Math.min(a, b) + 0.05) };
})`;

const kFocusState = `(() => {
  const el = document.activeElement;
  if (!el || el === document.body) return null;
  if (el.auditSeen) return { repeat: true };
  el.auditSeen = true;
  const bar = document.querySelector('.topbar');
  const r = el.getBoundingClientRect();
  const name = el.tagName.toLowerCase() + (el.id ? '#' + el.id : '') +
    (el.getAttribute('href') ? '[href="' + el.getAttribute('href') + '"]' : '') +
    ' "' + (el.textContent || el.value || '').trim().slice(0, 40) + '"';
  return { name, top: r.top, bottom: r.bottom, height: r.height,
           inBar: !!(bar && bar.contains(el)), skip: el.classList.contains('skip'),
           barBottom: ${kBarBottom}, ring: ${kRingContrast}(el) };
})()`;

const kTitles = `Array.prototype.slice.call(document.querySelectorAll('.item-title a'))`;

async function auditView(tab, axeSource, page, view, scheme, opts, faults) {
  const where = `${opts.label} ${page.name} ${view.name} ${scheme}`;
  const fault = (text) => faults.push(where + ': ' + text);
  await tab.send('Emulation.setDeviceMetricsOverride', {
    width: view.width, height: view.height, deviceScaleFactor: 1, mobile: view.mobile,
  });
  await tab.send('Emulation.setEmulatedMedia', {
    features: [{ name: 'prefers-color-scheme', value: scheme }, { name: 'prefers-reduced-motion', value: 'reduce' }],
  });
  tab.problems = [];
  await tab.open(opts.base + page.target);
  if (opts.uploads[page.name]) await tab.upload(opts.uploads[page.name]);

  await tab.eval(axeSource + ';true');
  const result = JSON.parse(await tab.eval(`axe.run(document, {
      runOnly: { type: 'tag', values: ${JSON.stringify(kRules)} }, resultTypes: ['violations'] })
    .then((r) => JSON.stringify(r.violations.map((v) => ({ id: v.id, impact: v.impact, help: v.help,
      nodes: v.nodes.map((n) => ({ target: n.target.join(' '), summary: n.failureSummary })) }))))`));
  let nodes = 0;
  for (const v of result) {
    nodes += v.nodes.length;
    for (const n of v.nodes.slice(0, 8))
      fault(`${v.id} (${v.impact}) ${v.help}: ${n.target} -- ${(n.summary || '').replace(/\s+/g, ' ').slice(0, 220)}`);
    if (v.nodes.length > 8) fault(`${v.id}: ${v.nodes.length - 8} more nodes`);
  }

  const size = await tab.eval(`({ scroll: document.documentElement.scrollWidth,
    client: document.documentElement.clientWidth, height: document.documentElement.scrollHeight })`);
  if (size.scroll > size.client) fault(`the page is ${size.scroll} px wide in a ${size.client} px window`);

  if (opts.shots) {
    const height = Math.min(size.height, kShotMaxHeight);
    const shot = await tab.send('Page.captureScreenshot', {
      format: 'png', captureBeyondViewport: true,
      clip: { x: 0, y: 0, width: size.client, height, scale: 1 },
    });
    writeFileSync(join(opts.shots, `${opts.label}-${page.name}-${view.name}-${scheme}.png`), Buffer.from(shot.data, 'base64'));
  }

  // Every page can be installed as an app, as Chromium judges it (once a page).
  if (view.name === 'desktop' && scheme === 'light') await checkInstallable(tab, fault);

  // Layout is the same in both schemes: where focus lands and j/k are checked in light.
  await checkFocusStops(tab, fault, scheme);
  if (scheme === 'light') await checkItemKeys(tab, fault);
  for (const p of tab.problems) fault(p);
  return { violations: result.length, nodes };
}

// Chromium's own installability check: the page links a manifest that parses, names a
// start URL, a display mode and an icon it could fetch. Its theme colours must be given
// for light and dark.
async function checkInstallable(tab, fault) {
  const manifest = await tab.send('Page.getAppManifest');
  if (!manifest.url) fault('no web app manifest is linked');
  for (const e of manifest.errors || []) fault(`manifest ${e.critical ? 'error' : 'warning'}: ${e.message}`);
  const { installabilityErrors } = await tab.send('Page.getInstallabilityErrors');
  for (const e of installabilityErrors)
    fault(`not installable: ${e.errorId}` + (e.errorArguments.length ? ' ' + JSON.stringify(e.errorArguments) : ''));
  const themes = await tab.eval(`Array.prototype.map.call(document.querySelectorAll('meta[name="theme-color"]'),
    (m) => m.getAttribute('media') || '').sort().join(' | ')`);
  if (themes !== '(prefers-color-scheme: dark) | (prefers-color-scheme: light)')
    fault('theme-color is not given for light and dark: ' + themes);
}

// Backwards through every focus stop from the last one, as with Shift+Tab: each stop
// must be wholly below the sticky bar (or be part of it), and show a ring of 3:1.
async function checkFocusStops(tab, fault, scheme) {
  const started = await tab.eval(`(() => {
    const all = Array.prototype.filter.call(document.querySelectorAll(
      'a[href], button, input:not([type="hidden"]), select, textarea, summary, [tabindex]'),
      (el) => el.tabIndex >= 0 && el.getClientRects().length > 0);
    if (!all.length) return false;
    window.scrollTo(0, document.documentElement.scrollHeight);
    all[all.length - 1].focus();
    return true;
  })()`);
  if (!started) return;
  // Back and forth once, so that the last stop too has its focus from the keyboard and
  // shows the ring a keyboard user sees.
  await tab.key('Tab', true);
  await tab.key('Tab');
  let hidden = 0, faint = 0;
  for (let i = 0; i < kMaxFocusStops; i++) {
    if (i > 0) await tab.key('Tab', true);
    const f = await tab.eval(kFocusState);
    if (!f || f.repeat) break;
    if (!(f.ring.ratio >= 3)) {
      if (faint++ < 5) fault(`focus ring of ${f.name}: ${f.ring.ring}` + (f.ring.ratio ? `, ${f.ring.ratio.toFixed(2)}:1` : ''));
    }
    if (scheme !== 'light' || f.inBar || f.skip || f.height === 0) continue;
    if (f.top < f.barBottom - 0.5 && hidden++ < 5)
      fault(`focus hides under the bar: ${f.name} at ${Math.round(f.top)} px, the bar ends at ${Math.round(f.barBottom)} px`);
  }
  if (hidden > 5) fault(`focus hides under the bar: ${hidden - 5} more stops`);
  if (faint > 5) fault(`focus rings under 3:1: ${faint - 5} more stops`);
}

// j and k start from what is on screen: scrolled so that some items went under the bar,
// j takes the first title below it and k the last one above it; from a focused title
// they step to the next and the previous.
async function checkItemKeys(tab, fault) {
  const count = await tab.eval(`${kTitles}.length`);
  if (count < 4) return;
  const start = Math.floor(count / 2);
  // Put the middle item's title just below the bar; nothing is focused.
  const expected = await tab.eval(`(() => {
    const titles = ${kTitles};
    document.activeElement && document.activeElement.blur();
    const bar = ${kBarBottom};
    const t = titles[${start}].getBoundingClientRect().top + window.scrollY;
    window.scrollTo(0, t - bar - 4);
    const barNow = ${kBarBottom};
    const below = titles.findIndex((a) => a.getBoundingClientRect().top >= barNow - 0.5);
    let above = -1;
    titles.forEach((a, i) => { if (a.getBoundingClientRect().top < barNow - 0.5) above = i; });
    return { below, above, scrolled: window.scrollY > 0 };
  })()`);
  if (!expected.scrolled) return;  // too short a page to scroll
  const focusedIndex = `(() => { const titles = ${kTitles}; const i = titles.indexOf(document.activeElement);
    if (i < 0) return { i }; const r = titles[i].getBoundingClientRect();
    return { i, top: r.top, bottom: r.bottom, bar: ${kBarBottom}, view: window.innerHeight }; })()`;
  const visible = (s) => s.i < 0 || (s.top >= s.bar - 0.5 && s.bottom <= s.view + 0.5);

  await tab.key('j');
  let s = await tab.eval(focusedIndex);
  if (s.i !== expected.below) fault(`j from the screen focused title ${s.i}, not ${expected.below}, the first below the bar`);
  else if (!visible(s)) fault(`j left title ${s.i} out of sight (top ${Math.round(s.top)}, bar ${Math.round(s.bar)})`);
  await tab.key('j');
  s = await tab.eval(focusedIndex);
  if (s.i !== expected.below + 1 && expected.below + 1 < count) fault(`j from title ${expected.below} went to ${s.i}`);
  await tab.key('k');
  s = await tab.eval(focusedIndex);
  if (s.i !== expected.below) fault(`k from title ${expected.below + 1} went to ${s.i}`);
  else if (!visible(s)) fault(`k left title ${s.i} out of sight`);

  // Unfocused again, scrolled back to where it was: k takes the last title above the bar.
  await tab.eval(`(() => { document.activeElement.blur(); const titles = ${kTitles};
    window.scrollTo(0, titles[${start}].getBoundingClientRect().top + window.scrollY - ${kBarBottom} - 4); return true; })()`);
  await tab.key('k');
  s = await tab.eval(focusedIndex);
  if (s.i !== expected.above) fault(`k from the screen focused title ${s.i}, not ${expected.above}, the last above the bar`);
  else if (!visible(s)) fault(`k left title ${s.i} out of sight`);
}

async function main() {
  const opts = parseArgs(process.argv.slice(2));
  const require = createRequire(import.meta.url);
  const axePath = require.resolve('axe-core/axe.min.js');
  const axeSource = readFileSync(axePath, 'utf8');
  const axeVersion = JSON.parse(readFileSync(join(axePath, '..', 'package.json'), 'utf8')).version;
  if (opts.shots) mkdirSync(opts.shots, { recursive: true });

  const browser = new Browser(opts.chromium);
  const guard = setTimeout(() => {
    console.log('the check did not finish in time');
    browser.proc.kill('SIGKILL');
    process.exit(2);
  }, kRunTimeoutMs);
  const faults = [];
  let views = 0, violations = 0, nodes = 0;
  try {
    const { targetId } = await browser.send('Target.createTarget', { url: 'about:blank' });
    const { sessionId } = await browser.send('Target.attachToTarget', { targetId, flatten: true });
    const tab = new Tab(browser, sessionId);
    for (const domain of ['Page', 'Runtime', 'Log', 'Network']) await tab.send(domain + '.enable');
    for (const page of opts.pages) {
      for (const view of kViews) {
        for (const scheme of kSchemes) {
          const before = faults.length;
          const r = await auditView(tab, axeSource, page, view, scheme, opts, faults);
          views++;
          violations += r.violations;
          nodes += r.nodes;
          console.log(`view ${opts.label} ${page.name} ${view.name} ${scheme}: ${r.violations} rules violated on ${r.nodes} nodes, ${faults.length - before} faults`);
        }
      }
    }
  } catch (e) {
    console.log('the check could not run: ' + e.message);
    if (browser.stderr) console.log(browser.stderr.slice(0, 2000));
    await browser.close();
    clearTimeout(guard);
    process.exit(2);
  }
  await browser.close();
  clearTimeout(guard);
  for (const f of faults) console.log('fault ' + f);
  console.log(`axe-core ${axeVersion}: ${views} views, ${violations} rule violations on ${nodes} nodes, ${faults.length} faults`);
  process.exit(faults.length ? 1 : 0);
}

main().catch((e) => {
  console.log('the check could not run: ' + (e && e.stack || e));
  process.exit(2);
});
