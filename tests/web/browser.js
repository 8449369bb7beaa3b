// Debian's Chromium, headless, for the browser check and the browser benchmark: a fresh
// profile, no network of its own, and WebGL 2 on a software renderer (there is no GPU).
'use strict';
const fs = require('fs');
const os = require('os');
const path = require('path');
const puppeteer = require('puppeteer-core');

// The software renderers Chromium can draw WebGL 2 with here, all through ANGLE and all
// headless with no display. SwiftShader is Chromium's own and needs nothing installed, so the
// browser check uses it. The other two are Mesa's: llvmpipe through EGL (the renderer the
// native build draws with) and lavapipe through Vulkan (mesa-vulkan-drivers).
const renderers = {
  swiftshader: ['--use-angle=swiftshader', '--enable-unsafe-swiftshader'],
  llvmpipe: ['--use-angle=gl-egl'],
  // NOTE: Chromium's driver workaround list turns texture storage off on Mesa's Vulkan, and
  // without texture storage it refuses WebGL 2; the list can only be switched off whole.
  lavapipe: ['--use-angle=vulkan', '--disable-gpu-driver-bug-workarounds'],
};

async function launchChromium(viewport, renderer = 'swiftshader', extraArgs = []) {
  if (!renderers[renderer]) throw new Error(`no renderer ${renderer}: ${Object.keys(renderers).join(', ')}`);
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
      // No GPU here: a software renderer, which Chromium uses for WebGL only when told.
      ...renderers[renderer], '--ignore-gpu-blocklist', ...extraArgs,
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

// The renderer that really draws `page`'s WebGL, as the browser names it ("ANGLE (...)").
function rendererName(page) {
  return page.evaluate(() => {
    const gl = document.createElement('canvas').getContext('webgl2');
    const info = gl && gl.getExtension('WEBGL_debug_renderer_info');
    return info ? gl.getParameter(info.UNMASKED_RENDERER_WEBGL) : 'no WebGL 2';
  });
}

module.exports = { launchChromium, rendererName, waitFor };
