// Debian's Chromium, headless, for the browser check and the browser benchmark: a fresh
// profile, no network of its own, and WebGL 2 on SwiftShader, its software renderer.
'use strict';
const fs = require('fs');
const os = require('os');
const path = require('path');
const puppeteer = require('puppeteer-core');

async function launchChromium(viewport) {
  const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'orbelune-chromium-'));
  const browser = await puppeteer.launch({
    executablePath: process.env.ORBELUNE_CHROMIUM || '/usr/bin/chromium',
    headless: true,
    userDataDir: profile,
    defaultViewport: viewport,
    args: [
      '--no-sandbox', // Chromium refuses to run as root with its sandbox
      // Without these it reaches out to Google's services, which this machine refuses.
      '--disable-background-networking', '--disable-component-update', '--disable-sync',
      '--no-first-run', '--disable-quic',
      // No GPU here: WebGL 2 runs on SwiftShader, which Chromium uses only when told.
      '--use-angle=swiftshader', '--enable-unsafe-swiftshader', '--ignore-gpu-blocklist',
    ],
  });
  const close = browser.close.bind(browser);
  browser.close = async () => {
    await close();
    fs.rmSync(profile, { recursive: true, force: true });
  };
  return browser;
}

// Polls `condition` (async, truthy when met) every 100 ms until it holds or the deadline.
async function waitFor(what, deadlineSeconds, condition) {
  const deadline = Date.now() + deadlineSeconds * 1000;
  for (;;) {
    const value = await condition();
    if (value) return value;
    if (Date.now() > deadline) throw new Error(`no ${what} within ${deadlineSeconds} s`);
    await new Promise((resolve) => setTimeout(resolve, 100));
  }
}

module.exports = { launchChromium, waitFor };
