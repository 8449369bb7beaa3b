// One browser round of bench/web-vs-native.sh: serves the site on 127.0.0.1, opens it in
// headless Chromium at the given size, drawing with RENDERER (tests/web/browser.js), and
// prints the seconds from the start of the page's navigation to "Initialization DONE.", the
// frames per second the game drew from FROM to FROM + SPAN seconds after that (collisions
// off, F4, so hits cannot end the flight), and the renderer the browser really drew with.
//   NODE_PATH=build-web/node/node_modules node bench/web-fps.js SITE WIDTH HEIGHT FROM SPAN RENDERER
// With --probe RENDERER it only prints that renderer's name, or fails when it lacks what the
// game needs (WebGL 2 with float colour buffers).
'use strict';
const { launchChromium, rendererName, waitFor } = require('../tests/web/browser');
const { serve } = require('../tests/web/serve');

async function probe(renderer) {
  const browser = await launchChromium({ width: 100, height: 100 }, renderer);
  try {
    const page = await browser.newPage();
    const usable = await page.evaluate(() => {
      const gl = document.createElement('canvas').getContext('webgl2');
      return !!gl && !!gl.getExtension('EXT_color_buffer_float');
    });
    if (!usable) throw new Error(`${renderer}: no WebGL 2 with float colour buffers`);
    console.log(await rendererName(page));
  } finally {
    await browser.close();
  }
}

async function main() {
  if (process.argv[2] === '--probe') {
    await probe(process.argv[3]);
    return;
  }
  const [site, width, height, from, span, renderer] = process.argv.slice(2);
  const server = await serve(site);
  const browser = await launchChromium({ width: Number(width) + 100, height: Number(height) + 400 }, renderer);
  try {
    const page = await browser.newPage();
    // Timed inside the page, from the start of the navigation: polling from here would add
    // the wait for a busy page to answer.
    await page.evaluateOnNewDocument(() => {
      let module;
      Object.defineProperty(window, 'Module', {
        configurable: true,
        get: () => module,
        set: (value) => {
          module = value;
          const show = value.orbeluneShow;
          value.orbeluneShow = (text) => {
            if (text.includes('Initialization DONE.') && window.orbeluneReadyAt === undefined)
              window.orbeluneReadyAt = performance.now();
            show(text);
          };
        },
      });
    });
    await page.goto(`http://127.0.0.1:${server.address().port}/?w=${width}&h=${height}`);
    const readyAt = await waitFor('"Initialization DONE."', 300, () => page.evaluate(() => window.orbeluneReadyAt));
    const ready = Date.now();
    // Every pass of the game's loop draws a frame while the game runs.
    await page.evaluate(() => {
      window.orbeluneFrames = 0;
      Module.postMainLoop = () => { window.orbeluneFrames += 1; };
    });
    await page.focus('#canvas');
    await page.keyboard.press('F4');
    const frames = () => page.evaluate(() => window.orbeluneFrames);
    await waitFor('start of the count', Number(from) + 60, () => Date.now() >= ready + from * 1000);
    const first = await frames();
    const firstAt = Date.now();
    await waitFor('end of the count', Number(span) + 60, () => Date.now() >= firstAt + span * 1000);
    const fps = ((await frames()) - first) / ((Date.now() - firstAt) / 1000);
    console.log(`${(readyAt / 1000).toFixed(2)} ${fps.toFixed(2)} ${await rendererName(page)}`);
  } finally {
    await browser.close();
    server.close();
  }
}

main().catch((error) => {
  console.error(error.message);
  process.exit(1);
});
