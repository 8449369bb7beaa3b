// One browser round of bench/web-vs-native.sh: serves the site on 127.0.0.1, opens it in
// headless Chromium at the given size, and prints the seconds from the start of the page's
// navigation to "Initialization DONE." and the frames per second the game drew from FROM to FROM + SPAN
// seconds after that (collisions off, F4, so hits cannot end the flight).
//   NODE_PATH=build-web/node/node_modules node bench/web-fps.js SITE WIDTH HEIGHT FROM SPAN
'use strict';
const { launchChromium, waitFor } = require('../tests/web/browser');
const { serve } = require('../tests/web/serve');

async function main() {
  const [site, width, height, from, span] = process.argv.slice(2);
  const server = await serve(site);
  const browser = await launchChromium({ width: Number(width) + 100, height: Number(height) + 400 });
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
    console.log(`${(readyAt / 1000).toFixed(2)} ${fps.toFixed(2)}`);
  } finally {
    await browser.close();
    server.close();
  }
}

main().catch((error) => {
  console.error(error.message);
  process.exit(1);
});
