// Plays the browser build in Debian's Chromium, headless, on its software renderer: the page
// served on 127.0.0.1, driven through puppeteer-core. Usage: node check.js SITE OUTPUT-DIR.
'use strict';
const assert = require('assert');
const { execFileSync } = require('child_process');
const fs = require('fs');
const path = require('path');
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
  const browser = await launchChromium({ width: width + 100, height: height + 500 });
  try {
    await play(browser, url);
  } finally {
    await browser.close();
    server.close();
  }
}

async function play(browser, url) {
  const page = await browser.newPage();
  page.on('pageerror', (error) => console.log(`  page error: ${error.message}`));
  const panel = () => page.$eval('#console', (element) => element.textContent);
  const state = () => page.evaluate(() => document.body.dataset.state);
  const shot = path.join(output, 'page.png');
  const screenshot = async (name = shot) => {
    const canvas = await page.$('#canvas');
    await canvas.screenshot({ path: name });
    return name;
  };

  // Start-up: the same lines as the desktop prints, and nothing left over.
  const loadStart = Date.now();
  await page.goto(`${url}?w=${width}&h=${height}`);
  await waitFor('"Initialization DONE."', 180, async () => (await panel()).includes('Initialization DONE.'));
  log(`"Initialization DONE." ${((Date.now() - loadStart) / 1000).toFixed(1)} s after the page was asked for`);
  const startup = (await panel()).split('\n').filter((line) => line && !line.startsWith('Setting '));
  assert.deepStrictEqual(startup, expectedStartup, 'start-up lines');
  log('the console panel shows the 20 load lines and "Initialization DONE."');

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

  await page.evaluate(() => { window.orbeluneNotReloaded = true; });
  await switches(page, screenshot);
  assert.strictEqual(await page.evaluate(() => window.orbeluneNotReloaded), true, 'the page reloaded');
  log('F2 to F8 switch as on the desktop; the page did not reload');

  // The win: W held until the name field appears; the name typed there is stored.
  await page.focus('#canvas');
  await page.keyboard.down('w');
  await waitFor('name field', 240, () => page.$eval('#name-entry', (element) => !element.hidden));
  await page.keyboard.up('w');
  assert.match(await panel(), /Your Name: $/);
  await screenshot(path.join(output, 'win.png'));
  await page.type('#name', 'WebAda');
  const saved = page.evaluate(() => new Promise((resolve) => { Module.orbeluneSaved = resolve; }));
  await page.keyboard.press('Enter');
  await waitFor('saved scores', 30, () => Promise.race([saved.then(() => true), new Promise((r) => setTimeout(r, 100, false))]));
  const scores = () => page.evaluate(() => {
    try { return new TextDecoder().decode(FS.readFile('/assets/scores.txt')); } catch (e) { return ''; }
  });
  assert.match(await scores(), /^WebAda \d+$/m);
  await waitFor('frozen score table', 30, async () => share(await screenshot(path.join(output, 'table.png')), `400x40+${width / 2}+15`, 'white') > 5);
  log(`the name typed in the page is stored: ${(await scores()).trim()}`);

  // The table outlives a reload: it is read from IndexedDB before the game starts.
  await page.reload();
  await waitFor('"Initialization DONE." after the reload', 180, async () => (await panel()).includes('Initialization DONE.'));
  assert.match(await scores(), /^WebAda \d+$/m);
  log('after a reload the stored table holds the name');

  // Esc ends the game: the loop stops and the page says how to play again.
  await page.focus('#canvas');
  await page.keyboard.press('Escape');
  await waitFor('end of the game', 30, async () => (await state()) === 'ended');
  assert.match(await page.$eval('#status', (element) => element.textContent), /Reload the page to play again/);
  log('Esc stopped the loop');
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

main().then(() => log('browser checks passed'), (error) => {
  console.error(`Browser check FAILED: ${error.message}`);
  process.exit(1);
});
