// Plays the browser build in Debian's Chromium, headless, on its software renderer: the page
// served on 127.0.0.1, driven through puppeteer-core. Usage: node check.js SITE OUTPUT-DIR.
'use strict';
const assert = require('assert');
const { execFileSync } = require('child_process');
const fs = require('fs');
const http = require('http');
const path = require('path');
const zlib = require('zlib');
const { launchChromium, waitFor } = require('./browser');
const { serve } = require('./serve');

const [site, output] = process.argv.slice(2);
// Wide enough that the planet (its size follows the height) keeps clear of the HUD's column
// of switches on the right, whose lines the check reads; low, so that frames come quickly.
const width = 1280;
const height = 480;
const started = Date.now();
const seconds = () => ((Date.now() - started) / 1000).toFixed(1);
const log = (line) => console.log(`  ${line} (${seconds()} s)`);

// Share of a crop of `file`, per mille of full scale: the mean grey, the mean saturation, or
// the share of white pixels (text) with `white`.
function share(file, crop, kind) {
  const measures = {
    grey: ['-colorspace', 'Gray'],
    saturation: ['-colorspace', 'HSL', '-channel', 'G', '-separate'],
    white: ['-colorspace', 'Gray', '-threshold', '90%'],
  };
  return Number(execFileSync('convert', [file, '-crop', crop, '+repage', ...measures[kind],
    '-format', '%[fx:int(mean*1000)]', 'info:']).toString());
}

// Mean row of the lit pixels of `file` as a share of its height (0 top, 1 bottom), white text
// left out: the planet is most of them, so this follows it up and down the picture.
function litRow(file) {
  const pgm = execFileSync('convert', [file, '-colorspace', 'Gray', '-depth', '8', 'pgm:-'], { maxBuffer: 1 << 26 });
  const [header, w, h] = /^P5\s+(\d+)\s+(\d+)\s+255\s/.exec(pgm.toString('latin1', 0, 40));
  let rows = 0;
  let count = 0;
  for (let i = header.length; i < pgm.length; ++i) {
    if (pgm[i] > 20 && pgm[i] < 250) {
      rows += Math.floor((i - header.length) / w);
      ++count;
    }
  }
  return count ? rows / count / h : -1;
}

// Holds what `press` presses until the planet has moved well up or down the picture, then
// lets go; returns how far it moved as a share of the picture's height, down positive.
async function planetMove(screenshot, press, release) {
  const from = litRow(await screenshot());
  let moved = 0;
  await press();
  try {
    await waitFor('the planet moving', 30, async () => Math.abs(moved = litRow(await screenshot()) - from) > 0.03);
  } finally {
    await release();
  }
  return moved;
}

const expectedStartup = ['greasy-pan-2-albedo.png', 'greasy-pan-2-normal.png', 'greasy-pan-2-metal.png',
  'greasy-pan-2-roughness.png', 'greasy-pan-2-metal.png', 'cratered-rock-albedo.png', 'cratered-rock-normal.png',
  'cratered-rock-height.png', 'cratered-rock-height.png', 'cratered-rock-ao.png', 'gold-scuffed_basecolor.png',
  'gold-scuffed_normal.png', 'gold-scuffed_metallic.png', 'gold-scuffed_roughness.png', 'gold-scuffed_roughness.png',
  'star-wars-arc-170-pbr.obj', 'sphere.obj', 'Rock.obj', 'star.obj', 'Earth.jpg']
  .map((file) => `./assets/${file} loaded.`).concat(['Initialization DONE.']);

async function main() {
  fs.mkdirSync(output, { recursive: true });
  const server = await serve(site);
  const url = `http://127.0.0.1:${server.address().port}/`;
  await serverAnswers(url, site);
  // Audio may start without a gesture here, as a player's browser allows once the page has
  // had one: the check sees the context run, not the browser's policy.
  const browser = await launchChromium({ width: width + 100, height: height + 500 }, 'swiftshader',
    ['--autoplay-policy=no-user-gesture-required']);
  try {
    await play(browser, url);
    await failedStarts(browser, url);
    await smallPicture(browser, url);
    await phone(browser, url);
    await noWebGl2(url);
  } finally {
    await browser.close();
    server.close();
  }
}

// Fetches `path` from the server as raw bytes, with `headers`.
function fetchRaw(url, path, headers = {}) {
  return new Promise((resolve, reject) => {
    http.get(new URL(path, url), { headers }, (response) => {
      const parts = [];
      response.on('data', (part) => parts.push(part));
      response.on('end', () => resolve({ status: response.statusCode, headers: response.headers, body: Buffer.concat(parts) }));
    }).on('error', reject);
  });
}

// The test server: a malformed request gets 400 and the server goes on; a browser that
// accepts Brotli or gzip gets the precompressed copy, which unpacks to the file itself.
async function serverAnswers(url, site) {
  assert.strictEqual((await fetchRaw(url, '/%E0%A4%A')).status, 400, 'a broken escape');
  const wasm = fs.readFileSync(path.join(site, 'orbelune.wasm'));
  const plain = await fetchRaw(url, '/orbelune.wasm');
  assert.strictEqual(plain.headers['content-encoding'], undefined);
  assert.ok(plain.body.equals(wasm), 'the plain file after a malformed request');
  const sizes = [`${plain.body.length} plain`];
  for (const [accept, unpack] of [['gzip, deflate, br', zlib.brotliDecompressSync], ['gzip, deflate', zlib.gunzipSync]]) {
    const packed = await fetchRaw(url, '/orbelune.wasm', { 'Accept-Encoding': accept });
    assert.strictEqual(packed.headers['content-type'], 'application/wasm', accept);
    assert.ok(packed.body.length < wasm.length / 2 && unpack(packed.body).equals(wasm), `${accept}: the same file, compressed`);
    sizes.push(`${packed.body.length} ${packed.headers['content-encoding']}`);
  }
  log(`the server answers 400 to a malformed request and goes on; orbelune.wasm: ${sizes.join(', ')} bytes`);
}

// Stand-ins the page sees before its own scripts: every AudioContext and every buffer a
// source starts are noted, and navigator.getGamepads() holds whatever the check puts in
// window.orbeluneStandInPad (a standard-layout pad), or nothing.
function standIns() {
  window.orbeluneAudio = { contexts: [], started: [] };
  const Context = window.AudioContext || window.webkitAudioContext;
  window.AudioContext = window.webkitAudioContext = function(...args) {
    const context = new Context(...args);
    window.orbeluneAudio.contexts.push(context);
    return context;
  };
  const start = AudioBufferSourceNode.prototype.start;
  AudioBufferSourceNode.prototype.start = function(...args) {
    window.orbeluneAudio.started.push(this.buffer ? this.buffer.duration : 0);
    return start.apply(this, args);
  };
  window.orbeluneStandInPad = null;
  navigator.getGamepads = () => [window.orbeluneStandInPad];
}

// A standard-layout pad whose left stick is pushed by (x, y), y negative away from the player,
// with the button of index `pressed` (the triggers are 6 and 7) held all the way.
function standInPad(x, y, pressed = -1) {
  if (y === null) return null;
  const button = (index) => (index === pressed ? { pressed: true, touched: true, value: 1 } :
    { pressed: false, touched: false, value: 0 });
  return { id: 'stand-in', index: 0, connected: true, mapping: 'standard', timestamp: 0,
    axes: [x, y, 0, 0], buttons: Array.from({ length: 17 }, (unused, index) => button(index)) };
}

async function play(browser, url) {
  const page = await browser.newPage();
  page.on('pageerror', (error) => console.log(`  page error: ${error.stack || error.message}`));
  await page.evaluateOnNewDocument(standIns);
  const panel = () => page.$eval('#console', (element) => element.textContent);
  const state = () => page.evaluate(() => document.body.dataset.state);
  const shot = path.join(output, 'page.png');
  const screenshot = async (name = shot) => {
    const canvas = await page.$('#canvas');
    await canvas.screenshot({ path: name });
    return name;
  };

  // Start-up: the same lines as the desktop prints, and nothing left over.
  await page.evaluateOnNewDocument(recordFunctionKeys);
  const loadStart = Date.now();
  await page.goto(`${url}?w=${width}&h=${height}`);
  await waitFor('"Initialization DONE."', 180, async () => (await panel()).includes('Initialization DONE.'));
  log(`"Initialization DONE." ${((Date.now() - loadStart) / 1000).toFixed(1)} s after the page was asked for`);
  const startup = (await panel()).split('\n').filter((line) => line && !line.startsWith('Setting '));
  assert.deepStrictEqual(startup, expectedStartup, 'start-up lines');
  await waitFor('"Playing" in the status line', 10, async () => (await state()) === 'running');
  log('the console panel shows the 20 load lines and "Initialization DONE.", the status line "Playing"');

  // The picture, loosely: a coloured, lit planet in the middle against black space, and the
  // HUD's "Lives" and "Fuel" as white text near the top corners.
  const middle = `300x200+${width / 2 - 150}+${height / 2 - 100}`;
  const picture = (file) => ({
    brightness: share(file, middle, 'grey'), saturation: share(file, middle, 'saturation'),
    space: share(file, '200x150+0+100', 'grey'), lives: share(file, '140x40+190+30', 'white'),
    fuel: share(file, `140x40+${width - 210}+30`, 'white'),
  });
  let seen;
  await waitFor('lit planet and HUD', 90, async () => {
    seen = picture(await screenshot());
    return seen.brightness > 100 && seen.saturation > 200 && seen.space < 30 && seen.lives > 10 && seen.fuel > 10;
  }).catch((error) => { throw new Error(`${error.message}: ${JSON.stringify(seen)}`); });
  log(`the canvas shows the lit planet and the HUD ${JSON.stringify(seen)}: ${shot}`);

  // Sound waits for the first key, and the page says so until then.
  const hint = () => page.$eval('#sound-hint', (element) => (element.hidden ? '' : element.textContent));
  assert.strictEqual(await hint(), 'Sound starts with your first key');
  await page.evaluate(() => { window.orbeluneNotReloaded = true; });
  await switches(page, screenshot);
  assert.strictEqual(await hint(), '', 'the sound hint stays after the first key');
  await waitFor('running audio', 30, () => page.evaluate(() =>
    window.orbeluneAudio.contexts.some((context) => context.state === 'running')));
  log('the audio context runs after the first key; the hint is gone');
  assert.strictEqual(await page.evaluate(() => window.orbeluneNotReloaded), true, 'the page reloaded');
  log('F2 to F8 switch as on the desktop; the page did not reload');

  // The win: a game controller's stick held forward flies to the planet until the name field
  // appears; the name typed there is stored. The engine is heard from the first push and the
  // win's jingle at the planet (sounds are told apart by their lengths).
  const played = (seconds) => page.evaluate((length) =>
    window.orbeluneAudio.started.some((duration) => Math.abs(duration - length) < 0.01), seconds);
  const engineSeconds = 0.5;
  const winSeconds = 1.2;
  assert.strictEqual(await played(winSeconds), false);
  const stick = (y) => page.evaluate((pad) => { window.orbeluneStandInPad = pad; }, standInPad(0, y));
  await page.focus('#canvas');
  await stick(-1);
  await waitFor('the engine\'s sound', 60, () => played(engineSeconds));
  await waitFor('name field', 240, () => page.$eval('#name-entry', (element) => !element.hidden));
  await stick(null);
  assert.ok(await played(winSeconds), 'no jingle at the win');
  assert.match(await panel(), /Your Name: $/);
  assert.doesNotMatch(await panel(), /joystick|gamepad/i, 'the controller is picked up without a word');
  log('the stick held forward flew the ship to the planet; the engine and the win were heard');
  await screenshot(path.join(output, 'win.png'));
  // F5 typed in the name field must not reload the page and lose the win.
  await page.evaluate(() => { window.orbeluneFunctionKeys = []; });
  await page.keyboard.press('F5');
  const f5 = await waitFor('F5 seen', 10, () => page.evaluate(() => window.orbeluneFunctionKeys.length && window.orbeluneFunctionKeys));
  assert.deepStrictEqual(f5, [['F5', true]], 'F5 in the name field reached the browser');
  await page.type('#name', 'WebAda');
  const saved = page.evaluate(() => new Promise((resolve) => { Module.orbeluneSaved = resolve; }));
  await page.keyboard.press('Enter');
  await waitFor('saved scores', 30, () => Promise.race([saved.then(() => true), new Promise((r) => setTimeout(r, 100, false))]));
  const scores = () => page.evaluate(() => {
    try { return new TextDecoder().decode(FS.readFile('/assets/scores.txt')); } catch (e) { return ''; }
  });
  assert.match(await scores(), /^WebAda \d+$/m);
  await waitFor('frozen score table', 30, async () => share(await screenshot(path.join(output, 'table.png')), `400x40+${width / 2}+15`, 'white') > 5);
  await waitFor('"The game is over" in the status line', 10, async () => (await state()) === 'over');
  assert.strictEqual((await pageState(page))[1], 'The game is over. Press R (or Start on a controller) to fly again.');
  assert.strictEqual(await page.evaluate(() => window.orbeluneNotReloaded), true, 'the page reloaded');
  log(`the name typed in the page is stored: ${(await scores()).trim()}; the status says the game is over`);

  // The table outlives a reload: it is read from IndexedDB before the game starts.
  await page.reload();
  await waitFor('"Initialization DONE." after the reload', 180, async () => (await panel()).includes('Initialization DONE.'));
  assert.match(await scores(), /^WebAda \d+$/m);
  log('after a reload the stored table holds the name');

  // Esc ends the game: the loop stops, the sound with it, and the page says how to play again.
  await page.focus('#canvas');
  await page.keyboard.press('F2');
  await page.keyboard.press('F2');
  await waitFor('running audio after the reload', 30, () => audioRunning(page));
  await page.keyboard.press('Escape');
  await waitFor('end of the game', 30, async () => (await state()) === 'ended');
  assert.match(await page.$eval('#status', (element) => element.textContent), /Reload the page to play again/);
  await waitFor('the audio held once the game ended', 10, async () => !(await audioRunning(page)));
  log('Esc stopped the loop and the audio');
  await storage(browser, url, page);
}

// Two pages of the site saving, one after the other and at the same moment, keep every
// entry; a stray and a malformed record in the game's database neither hold the start nor
// stop a later save. The saves are made as the game makes them: a line appended, the file
// closed.
async function storage(browser, url, first) {
  const panelOf = (page) => page.$eval('#console', (element) => element.textContent);
  const started = async (page) => {
    await waitFor('"Initialization DONE." on a second page', 180, async () => (await panelOf(page)).includes('Initialization DONE.'));
    await page.focus('#canvas');
    await page.keyboard.press('Escape'); // its frames would only slow the others
  };
  const save = (page, line) => page.evaluate((text) => new Promise((resolve) => {
    Module.orbeluneSaved = (error) => resolve(error ? String(error) : '');
    const bytes = new TextEncoder().encode(text + '\n');
    const stream = FS.open('/assets/scores.txt', 'a');
    FS.write(stream, bytes, 0, bytes.length);
    FS.close(stream);
  }), line);
  const record = (page, key, value) => page.evaluate((k, v) => new Promise((resolve, reject) => {
    const request = indexedDB.open('orbelune-scores');
    request.onerror = () => reject(request.error);
    request.onsuccess = () => {
      const store = request.result.transaction('files', 'readwrite').objectStore('files');
      const done = (result) => { request.result.close(); resolve(result); };
      const get = v === undefined ? store.get(k) : store.put(v, k);
      get.onsuccess = () => done(v === undefined ? get.result : v);
      get.onerror = () => reject(get.error);
    };
  }), key, value);
  const kept = async (names) => {
    const table = await record(first, 'scores.txt');
    assert.strictEqual(typeof table, 'string', 'the stored table is no text');
    for (const name of names) assert.strictEqual(table.split(/\r?\n/).filter((line) => line.startsWith(name + ' ')).length, 1, `${name} in ${table}`);
  };

  const second = await browser.newPage();
  second.on('pageerror', (error) => console.log(`  page error: ${error.message}`));
  await second.goto(url);
  await started(second);
  assert.strictEqual(await save(first, 'TabA 1'), '');
  assert.strictEqual(await save(second, 'TabB 2'), '');
  await kept(['WebAda', 'TabA', 'TabB']);
  assert.deepStrictEqual(await Promise.all([save(first, 'TabC 3'), save(second, 'TabD 4')]), ['', '']);
  await kept(['WebAda', 'TabA', 'TabB', 'TabC', 'TabD']);
  log('two pages saving one after the other and at once keep every entry');

  await record(first, 'stray.txt', 'not ours');
  await record(first, 'scores.txt', { timestamp: 5, contents: 7 });
  await second.reload();
  await started(second);
  const told = (await panelOf(second)).split('The scores kept in this browser could not be read').length - 1;
  assert.strictEqual(told, 1, 'the unreadable record is said once');
  assert.strictEqual(await save(second, 'TabE 5'), '');
  await kept(['TabE']);
  assert.strictEqual(await record(first, 'stray.txt'), 'not ours');
  log('a stray and a malformed record: the page starts, says so once, and saves again');
  await second.close();
}

// The switch keys flip what they flip, all at once so that the slow software renderer draws
// few frames for it: the HUD lines of HDR, bloom and collisions get wider ("OFF" against
// "ON"), that of frustum culling narrower, the frame statistics go away; wireframe empties the
// planet's middle or the console says it cannot be had. Pressed again, all come back.
async function switches(page, screenshot) {
  const line = (fromBottom) => `400x30+${width - 400}+${height - fromBottom - 25}`;
  const checks = [
    ['F2', `300x80+100+${height - 125}`, 'white', (before, after) => after < before / 2],
    ['F6', line(100), 'white', (before, after) => after > before],
    ['F7', line(150), 'white', (before, after) => after > before],
    ['F8', line(200), 'white', (before, after) => after < before],
    ['F4', line(300), 'white', (before, after) => after > before],
    ['F3', `100x80+${width / 2 - 140}+${height / 2 - 130}`, 'grey', (before, after) => after < before * 0.7],
  ];
  const measure = (file) => checks.map(([, crop, kind]) => share(file, crop, kind));
  const panel = () => page.$eval('#console', (element) => element.textContent);
  const noWireframe = async () => (await panel()).includes('Wireframe is not available in this browser.');
  const flipped = async (want) => {
    const after = measure(await screenshot());
    const noLines = await noWireframe();
    return checks.every(([key, , , flips], i) => (key === 'F3' && noLines) || flips(before[i], after[i]) === want);
  };
  const pressAll = async () => {
    for (const [key] of checks) await page.keyboard.press(key);
  };

  await page.focus('#canvas');
  const before = measure(await screenshot());
  await pressAll();
  await waitFor('F2 to F8 in the picture', 60, () => flipped(true));
  await pressAll();
  await waitFor('F2 to F8 back in the picture', 60, () => flipped(false));
  // F5 drains fuel; switched on and off again at once, it must only not reload the page.
  await page.keyboard.press('F5');
  await page.keyboard.press('F5');
}

// True while one of the page's audio contexts plays (the stand-ins keep the list).
function audioRunning(page) {
  return page.evaluate(() => window.orbeluneAudio.contexts.some((context) => context.state === 'running'));
}

// True when `picture` (a screenshot of the canvas, as bytes) stays the same over ten of the
// page's animation frames (ten passes of the game's loop), as a paused flight's does.
async function stillOverFrames(page, picture) {
  const before = await picture();
  await page.evaluate(() => new Promise((resolve) => {
    let frames = 10;
    const next = () => (--frames ? requestAnimationFrame(next) : resolve());
    requestAnimationFrame(next);
  }));
  return (await picture()).equals(before);
}

// Waits until `picture` changes from one screenshot to the next: the flight plays.
async function pictureMoving(what, picture) {
  let previous = await picture();
  await waitFor(what, 30, async () => {
    const next = await picture();
    const moved = !next.equals(previous);
    previous = next;
    return moved;
  });
}

// The state the page says it is in, and its status line.
function pageState(page) {
  return page.evaluate(() => [document.body.dataset.state, document.getElementById('status').textContent]);
}

// A tab hidden longer than a full tank lasts with the drain on comes back with the fuel it
// had: the hidden time is no frame's time. Were it counted, the first frame after would drain
// the tank below 0 and freeze the picture on the score table. It comes back paused, with its
// sound held, and P lets it go on.
async function hiddenTab(browser, page) {
  await waitFor('running audio', 30, () => audioRunning(page));
  const fuelSeconds = 100 / 10; // a full tank at the drain of 10 a second
  // Drain on only just before the tab is hidden and off just after the first frame it is
  // shown again, so that the frames seen drain little of the tank.
  await page.focus('#canvas');
  await page.keyboard.press('F5');
  const other = await browser.newPage();
  await other.bringToFront();
  await waitFor('the game\'s tab hidden', 10, () => page.evaluate(() => document.hidden));
  // A loop would play on without frames: the audio is held while the tab is hidden.
  await waitFor('the audio held in the hidden tab', 10, async () => !(await audioRunning(page)));
  const hiddenAt = Date.now();
  await waitFor(`the tab hidden for ${fuelSeconds + 1} s`, fuelSeconds + 10, () => Date.now() - hiddenAt > (fuelSeconds + 1) * 1000);
  await page.bringToFront();
  // The game's frame comes before this one: it asked for it before the tab was hidden.
  await page.evaluate(() => new Promise((resolve) => requestAnimationFrame(resolve)));
  await page.keyboard.press('F5');
  await other.close();
  await waitFor('the status line after the tab came back', 10, async () => (await pageState(page))[0] !== 'running');
  assert.deepStrictEqual(await pageState(page), ['paused', 'Paused: press P (or Start on a controller) to go on.'], 'the game ended while hidden');
  const picture = async () => (await page.$('#canvas')).screenshot({ path: path.join(output, 'after-hidden.png') });
  assert.ok(await stillOverFrames(page, picture), 'the picture moved on before P');
  assert.strictEqual(await audioRunning(page), false, 'the audio went on before P');
  await page.focus('#canvas');
  await page.keyboard.press('p');
  await waitFor('the audio going on after P', 10, () => audioRunning(page));
  await pictureMoving('the picture moving after the tab came back', picture);
  assert.match((await pageState(page))[1], /^Playing: W S A D fly/);
  log(`a tab hidden for ${((Date.now() - hiddenAt) / 1000).toFixed(0)} s with the fuel drain on came back paused, and P played on`);
}

// The status line once the start has failed.
function failedStatus(page) {
  return waitFor('a failed start', 60, () => page.evaluate(() =>
    document.body.dataset.state === 'failed' && document.getElementById('status').textContent));
}

// Starts that cannot go on say why in the status line, and promise no sound: a size no
// picture can have; each of the game's files missing, which fails its own way (the script's
// error, the data file's uncaught throw, the WebAssembly's abort); a browser that refuses all
// WebGL for a while after a start too large for it, told apart from one without WebGL 2
// (noWebGl2); and, before the game is even loaded, a WebGL 2 without float colour buffers.
async function failedStarts(browser, url) {
  const page = await browser.newPage();
  const status = () => failedStatus(page);
  await page.goto(`${url}?w=0`);
  assert.match(await status(), /cannot open a picture of 0 × 720 pixels.*from 1 to 16384/);
  assert.ok(await page.$eval('#sound-hint', (element) => element.hidden), 'sound promised after a failed start');
  log('?w=0: the status says the width and height must be from 1 to 16384, and promises no sound');

  await page.setRequestInterception(true);
  let missing = '';
  const answer = (request) => (new URL(request.url()).pathname === `/${missing}` ?
    request.respond({ status: 404, body: '' }) : request.continue());
  page.on('request', answer);
  for (missing of ['orbelune.js', 'orbelune.data', 'orbelune.wasm']) {
    await page.goto(url);
    assert.match(await status(), new RegExp(`^The game's files could not be loaded: ${missing.replace('.', '\\.')} ` +
      '\\(the server answered 404[^)]*\\)\\. Reload the page'), missing);
  }
  page.off('request', answer);
  await page.setRequestInterception(false);
  log('orbelune.js, .data or .wasm answering 404: the status says the game\'s files could not be loaded, and which');

  const refusing = await browser.newPage();
  await refusing.evaluateOnNewDocument(() => {
    const getContext = HTMLCanvasElement.prototype.getContext;
    HTMLCanvasElement.prototype.getContext = function(type, ...rest) {
      if (type === 'webgl2' && (sessionStorage.getItem('refusing') || this.width * this.height > 4096 * 4096)) {
        sessionStorage.setItem('refusing', 'yes');
        return null;
      }
      return getContext.call(this, type, ...rest);
    };
  });
  await refusing.goto(`${url}?w=8000&h=8000`);
  assert.match(await failedStatus(refusing), /did not give the game a WebGL 2 picture of 8000 × 8000 pixels/);
  await refusing.reload();
  assert.match(await failedStatus(refusing), /refuses this page WebGL for now: the last start here, at 8000 × 8000 pixels.*Wait a minute or two/);
  await refusing.close();
  log('a browser refusing WebGL after a start at 8000 x 8000 hears to wait or ask for less, not that it has no WebGL 2');

  await page.evaluateOnNewDocument(() => {
    const getExtension = WebGL2RenderingContext.prototype.getExtension;
    WebGL2RenderingContext.prototype.getExtension = function(name) {
      return name === 'EXT_color_buffer_float' ? null : getExtension.call(this, name);
    };
  });
  await page.reload();
  assert.match(await status(), /cannot draw into float colour buffers \(EXT_color_buffer_float\)/);
  assert.strictEqual(await page.evaluate(() => document.querySelector('script[src="orbelune.js"]')), null, 'the game was loaded');
  log('without EXT_color_buffer_float the status says so and the game is not loaded');
  await page.close();
}

// A browser with WebGL 2 switched off hears so before the game is loaded.
async function noWebGl2(url) {
  const browser = await launchChromium({ width: 800, height: 600 }, 'swiftshader', ['--disable-webgl2']);
  try {
    const page = await browser.newPage();
    await page.goto(url);
    const text = await waitFor('a failed start', 60, () => page.evaluate(() =>
      document.body.dataset.state === 'failed' && document.getElementById('status').textContent));
    assert.match(text, /no WebGL 2.*Turn on WebGL/);
    log('with WebGL 2 switched off the status says the browser gives none, and what to try');
  } finally {
    await browser.close();
  }
}

// "fs=on" takes the screen at the first click, with the picture at the size asked for, and
// gives the page back as it was.
async function fullScreen(page) {
  const canvasSize = () => page.$eval('#canvas', (c) => [c.width, c.height, c.clientWidth, c.clientHeight]);
  const full = () => page.evaluate(() => document.fullscreenElement && document.fullscreenElement.id);
  assert.deepStrictEqual(await canvasSize(), [640, 360, 640, 360], 'the canvas before the click');
  assert.strictEqual(await full(), null, 'full screen before any click');
  await page.click('#canvas');
  await waitFor('full screen after the click', 10, full);
  const [w, h, shownWidth, shownHeight] = await canvasSize();
  assert.deepStrictEqual([w, h], [640, 360], 'the picture in full screen');
  assert.ok(shownWidth > 640 && shownHeight > 360, `the picture fills the screen: ${shownWidth} x ${shownHeight}`);
  await page.evaluate(() => document.exitFullscreen());
  await waitFor('full screen left', 10, async () => (await full()) === null);
  assert.deepStrictEqual(await canvasSize(), [640, 360, 640, 360], 'the canvas after full screen');
  assert.strictEqual(await page.evaluate(() => document.body.dataset.state), 'running');
  log(`?fs=on: a 640 x 360 canvas in the page, full screen (${shownWidth} x ${shownHeight}) from a click, and back`);
}

// A second game at 640 x 360, whose frames come quicker: full screen, then a hidden tab.
async function smallPicture(browser, url) {
  const page = await browser.newPage();
  const errors = [];
  page.on('pageerror', (error) => errors.push(error.message));
  await page.evaluateOnNewDocument(standIns);
  await page.goto(`${url}?fs=on&w=640&h=360`);
  await waitFor('the game running', 180, () => page.evaluate(() => document.body.dataset.state === 'running'));
  await fullScreen(page);
  // Tab is the game's while the canvas has the keyboard: the keyboard stays there.
  await page.focus('#canvas');
  await page.keyboard.press('Tab');
  assert.strictEqual(await page.evaluate(() => document.activeElement.id), 'canvas', 'Tab took the keyboard from the canvas');
  await hiddenTab(browser, page);
  assert.deepStrictEqual(errors, [], 'page errors');
  await page.close();
}

// A phone, 390 x 844 with a touch screen: the page fits its width, the picture is scaled to
// fit, and turned on its side (844 x 390) the picture and the touch controls fit its height.
// "fs=on" takes the screen at the first tap on a touch control, and the controls, the status
// line and the name field go with it. Holding Forward flies the ship to the planet, a W typed
// on a keyboard meanwhile does not stop it, and the phone's keyboard types the name; a tap on
// the picture then flies again, and Pause holds the flight. "debug", a parameter without a
// value, shifts no other; with the sound off the page promises none.
async function phone(browser, url) {
  const page = await browser.newPage();
  const errors = [];
  page.on('pageerror', (error) => errors.push(error.message));
  const portrait = { width: 390, height: 844, isMobile: true, hasTouch: true };
  await page.setViewport(portrait);
  await page.evaluateOnNewDocument(standIns);
  const panel = () => page.$eval('#console', (element) => element.textContent);
  await page.goto(`${url}?debug&fs=on&w=640&h=360&snd=off`);
  await waitFor('the game running', 180, () => page.evaluate(() => document.body.dataset.state === 'running'));
  assert.match(await panel(), /Setting width to 640\nSetting height to 360\n/);
  assert.ok(await page.$eval('#sound-hint', (element) => element.hidden), 'sound promised with snd=off');
  // Boxes of the canvas and the touch controls, and whether each control is the element at
  // its own middle (seen, and not under another).
  const measure = () => page.evaluate(() => {
    const box = (element) => element.getBoundingClientRect().toJSON();
    const onTop = (element, b) => document.elementFromPoint(b.x + b.width / 2, b.y + b.height / 2) === element;
    const controls = {};
    for (const button of document.querySelectorAll('#touch button'))
      controls[button.getAttribute('aria-label')] = { ...box(button), onTop: onTop(button, box(button)) };
    const canvas = document.getElementById('canvas');
    return { pageWidth: document.documentElement.scrollWidth, canvas: [canvas.width, canvas.height], shown: box(canvas),
      controls, inner: [innerWidth, innerHeight] };
  });
  const controlsFit = (layout, where) => {
    assert.deepStrictEqual(Object.keys(layout.controls).sort(), ['Back', 'Down', 'Forward', 'Left', 'Pause', 'Right', 'Up']);
    const [w, h] = layout.inner;
    for (const [name, box] of Object.entries(layout.controls))
      assert.ok(box.width >= 40 && box.top >= 0 && box.right <= w && box.bottom <= h && box.onTop, `${name} on the screen ${where}: ${JSON.stringify(box)}`);
  };
  let layout = await measure();
  assert.strictEqual(layout.pageWidth, 390, 'the page is laid out as wide as the phone');
  assert.deepStrictEqual(layout.canvas, [640, 360], 'the picture asked for');
  assert.ok(layout.shown.right <= 390 && Math.abs(layout.shown.width / layout.shown.height - 16 / 9) < 0.02,
    `the picture scaled to fit: ${JSON.stringify(layout.shown)}`);
  controlsFit(layout, 'upright');
  await page.screenshot({ path: path.join(output, 'phone.png') });
  const upright = layout.shown;

  await page.setViewport({ ...portrait, width: 844, height: 390 });
  layout = await measure();
  assert.ok(layout.shown.bottom <= 390 && layout.shown.right <= 844 && Math.abs(layout.shown.width / layout.shown.height - 16 / 9) < 0.02,
    `the picture on the phone's side: ${JSON.stringify(layout.shown)}`);
  controlsFit(layout, 'on its side');
  await page.screenshot({ path: path.join(output, 'phone-side.png') });
  const side = layout.shown;
  await page.setViewport(portrait);
  log(`a phone gets the page at its width, the 640 x 360 picture at ${upright.width.toFixed(0)} x ${upright.height.toFixed(0)} ` +
    `upright and ${side.width.toFixed(0)} x ${side.height.toFixed(0)} on its side, and seven touch controls on the screen`);

  const middle = (box) => [box.x + box.width / 2, box.y + box.height / 2];
  const full = () => page.evaluate(() => document.fullscreenElement && document.fullscreenElement.id);
  // A finger held a moment, as a player's is: its going down is no gesture, its lifting is.
  await page.touchscreen.touchStart(...middle((await measure()).controls.Down));
  await waitFor('Down held', 10, () => page.$eval('#touch [aria-label=Down]', (button) => button.classList.contains('held')));
  await page.touchscreen.touchEnd();
  await waitFor('full screen after a tap on a touch control', 10, full);
  layout = await measure();
  controlsFit(layout, 'in full screen');
  assert.ok(layout.shown.width >= upright.width && layout.shown.bottom <= 844, `the picture in full screen: ${JSON.stringify(layout.shown)}`);
  await page.screenshot({ path: path.join(output, 'phone-full.png') });
  log(`a tap on a touch control took the screen: the picture at ${layout.shown.width.toFixed(0)} x ${layout.shown.height.toFixed(0)} and the controls with it`);

  // Up is up on the screen: the button that says so lifts the ship and the planet goes down
  // the picture; a controller's left trigger takes it back up (and the ship back to the line
  // it flies to the planet on).
  const canvasShot = async () => {
    const file = path.join(output, 'phone-up.png');
    await (await page.$('#canvas')).screenshot({ path: file });
    return file;
  };
  const pad = (stub) => page.evaluate((held) => { window.orbeluneStandInPad = held; }, stub);
  const up = await planetMove(canvasShot, () => page.touchscreen.touchStart(...middle(layout.controls.Up)),
    () => page.touchscreen.touchEnd());
  const down = await planetMove(canvasShot, () => pad(standInPad(0, 0, 6)), () => pad(null));
  assert.ok(up > 0 && down < 0, `holding Up moved the planet ${up.toFixed(3)} of the picture's height down it, ` +
    `the left trigger ${down.toFixed(3)}`);
  log(`holding Up took the planet ${up.toFixed(3)} of the picture down, the left trigger ${(-down).toFixed(3)} up`);

  await page.touchscreen.touchStart(...middle(layout.controls.Forward));
  await page.keyboard.press('w');
  await waitFor('name field', 240, () => page.$eval('#name-entry', (element) => !element.hidden));
  await page.touchscreen.touchEnd();
  await page.screenshot({ path: path.join(output, 'phone-win.png') });
  const name = await page.evaluate(() => {
    const field = document.getElementById('name');
    const b = field.getBoundingClientRect();
    return { focused: document.activeElement === field, full: document.fullscreenElement.contains(field),
      onTop: document.elementFromPoint(b.x + b.width / 2, b.y + b.height / 2) === field, bottom: b.bottom, width: b.width };
  });
  assert.ok(name.focused && name.full && name.onTop && name.width > 0 && name.bottom <= 844, `the name field in full screen: ${JSON.stringify(name)}`);
  await page.tap('#name');
  await page.keyboard.type('Phone');
  await page.tap('#name-entry button[type=submit]');
  await waitFor('"The game is over" after the name', 60, () => page.evaluate(() => document.body.dataset.state === 'over'));
  assert.match(await page.evaluate(() => new TextDecoder().decode(FS.readFile('/assets/scores.txt'))), /^Phone \d+$/m);
  log('holding Forward, with W typed on the way, flew the ship to the planet; the name field, in full screen and ' +
    'focused, stored the name typed on the phone');
  await afterTheEnd(page);
  assert.deepStrictEqual(errors, [], 'page errors');
  await page.close();
}

// On the end screen a tap on the picture flies again, as R does; Pause holds the new flight
// still and lets it go on; a second win asks for its own name; a lost WebGL context is said,
// and "Start again" reloads. Reports how
// long after the tap the page said so and drew the new flight's first frame (the animation
// frame after the one that started it).
async function afterTheEnd(page) {
  const canvasShot = async () => (await page.$('#canvas')).screenshot({ path: path.join(output, 'phone-again.png') });
  assert.deepStrictEqual(await pageState(page), ['over', 'The game is over. Tap the picture (or press R) to fly again.']);
  await page.evaluate(() => {
    const again = window.orbeluneAgain = {};
    document.getElementById('canvas').addEventListener('pointerup', () => { again.tap = performance.now(); }, { once: true });
    const told = Module.orbelunePlay;
    Module.orbelunePlay = (phase) => {
      again.said = again.said || performance.now();
      // After the pass, so after the game asks for its next frame: this one runs once it is drawn.
      queueMicrotask(() => requestAnimationFrame(() => { again.drawn = again.drawn || performance.now(); }));
      told(phase);
    };
  });
  const box = await page.$eval('#canvas', (canvas) => canvas.getBoundingClientRect().toJSON());
  await page.touchscreen.tap(box.x + box.width / 2, box.y + box.height / 2);
  const again = await waitFor('a new flight after the tap', 30, () => page.evaluate(() => window.orbeluneAgain.drawn && window.orbeluneAgain));
  assert.match((await pageState(page))[1], /^Playing: hold the arrows/);
  await pictureMoving('the new flight moving', canvasShot);
  log(`a tap on the picture flew again: the status ${(again.said - again.tap).toFixed(0)} ms after the tap, ` +
    `the new flight's first frame ${(again.drawn - again.tap).toFixed(0)} ms`);

  await page.tap('#touch [aria-label=Pause]');
  await waitFor('"Paused" after the Pause button', 10, async () => (await pageState(page))[0] === 'paused');
  assert.strictEqual((await pageState(page))[1], 'Paused: tap Pause (or press P) to go on.');
  assert.ok(await stillOverFrames(page, canvasShot), 'the picture moved on while paused');
  await page.tap('#touch [aria-label=Pause]');
  await waitFor('playing after Pause again', 10, async () => (await pageState(page))[0] === 'running');
  await pictureMoving('the flight moving after Pause again', canvasShot);
  log('Pause held the flight still over ten frames, and again let it go on');

  // The name typed for the first win is no answer to the second: the page asks again.
  const forward = await page.$eval('#touch [aria-label=Forward]', (button) => button.getBoundingClientRect().toJSON());
  await page.touchscreen.touchStart(forward.x + forward.width / 2, forward.y + forward.height / 2);
  await waitFor('the name field after a second win', 240, () => page.$eval('#name-entry', (element) => !element.hidden));
  await page.touchscreen.touchEnd();
  await page.$eval('#name', (field) => { field.value = ''; }); // it keeps the last name typed
  await page.tap('#name');
  await page.keyboard.type('Again');
  await page.tap('#name-entry button[type=submit]');
  await waitFor('"The game is over" after the second name', 60, async () => (await pageState(page))[0] === 'over');
  const table = await page.evaluate(() => new TextDecoder().decode(FS.readFile('/assets/scores.txt')));
  assert.ok(/^Phone \d+$/m.test(table) && /^Again \d+$/m.test(table), `the table after a second win: ${table}`);
  log('a second win in the same page asked for a name again, and the table keeps both');
  await page.touchscreen.tap(box.x + box.width / 2, box.y + box.height / 2);
  await waitFor('a third flight after the tap', 30, async () => (await pageState(page))[0] === 'running');

  // The flight the loss holds must not take its "Paused" over the page's sentence.
  await page.evaluate(() => document.getElementById('canvas').getContext('webgl2').getExtension('WEBGL_lose_context').loseContext());
  await waitFor('the lost picture said', 10, async () => (await pageState(page))[0] === 'lost');
  assert.ok(await stillOverFrames(page, canvasShot), 'a lost picture moving');
  assert.match((await pageState(page)).join(' '), /^lost The game's picture was lost.*Start again/);
  await Promise.all([page.waitForNavigation(), page.tap('#start-again')]);
  log('a lost WebGL context is said, and "Start again" reloads the page');
}

// Run in the page before its own scripts, so that it sees each key first: records whether
// the function keys pressed were kept from the browser (their keydown's default prevented).
// Headless Chromium has no reload key of its own, so this is what shows it.
function recordFunctionKeys() {
  window.orbeluneFunctionKeys = [];
  window.addEventListener('keydown', (event) => {
    if (/^F\d+$/.test(event.key)) setTimeout(() => window.orbeluneFunctionKeys.push([event.key, event.defaultPrevented]));
  }, true);
}

main().then(() => log('browser checks passed'), (error) => {
  console.error(`Browser check FAILED: ${error.message}`);
  process.exit(1);
});
