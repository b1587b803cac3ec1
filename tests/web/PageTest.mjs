// The interactive preview page in a real browser: headless Chromium with
// software WebGL opens the page `tressel wire --preview page.html` wrote, from
// the file, with every other request refused. Checks that the page draws every
// group's wires in the group's colour, that a group's switch hides it, that
// the u ramp replaces the group colours, and that nothing was fetched and
// nothing went to the console as an error.
//
//   node PageTest.mjs TRESSEL WEB_DIR   (WEB_DIR holds node_modules)
// Exit status 0 passed, 1 failed, 77 skipped (no browser).
import { execFileSync } from 'node:child_process';
import { existsSync, mkdtempSync, rmSync, writeFileSync } from 'node:fs';
import { createRequire } from 'node:module';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { pathToFileURL } from 'node:url';

const [tressel, webDir] = process.argv.slice(2);
const browserPath = process.env.TRESSEL_CHROMIUM || '/usr/bin/chromium';
if (!existsSync(browserPath)) {
  console.log(`skipped: no browser at ${browserPath} (scripts/deps.sh installs chromium)`);
  process.exit(77);
}
const { chromium } = createRequire(join(webDir, 'package.json'))('playwright-core');

let failures = 0;
function check(condition, what) {
  console.log(`${condition ? 'ok  ' : 'FAIL'} ${what}`);
  if (!condition) failures += 1;
}

// Three boxes side by side, one object (group) each.
function boxes() {
  let text = '';
  let base = 0;
  for (let box = 0; box < 3; ++box) {
    text += `o box${box}\n`;
    const x = box * 3;
    for (const [dx, dy, dz] of [[0, 0, 0], [1, 0, 0], [1, 1, 0], [0, 1, 0], [0, 0, 1], [1, 0, 1], [1, 1, 1], [0, 1, 1]])
      text += `v ${x + 2 * dx} ${2 * dy} ${2 * dz}\n`;
    for (const face of [[1, 4, 3, 2], [5, 6, 7, 8], [1, 2, 6, 5], [2, 3, 7, 6], [3, 4, 8, 7], [4, 1, 5, 8]])
      text += 'f ' + face.map((i) => i + base).join(' ') + '\n';
    base += 8;
  }
  return text;
}

const folder = mkdtempSync(join(tmpdir(), 'tressel-page-'));
const profile = mkdtempSync(join(tmpdir(), 'tressel-chromium-'));
let browser;
try {
  writeFileSync(join(folder, 'boxes.obj'), boxes());
  execFileSync(tressel, ['wire', 'boxes.obj', '--push', '0.3', '-o', 'w.obj', '--preview', 'page.html'], { cwd: folder });
  const pageUrl = pathToFileURL(join(folder, 'page.html')).href;

  browser = await chromium.launchPersistentContext(profile, {
    executablePath: browserPath,
    headless: true,
    viewport: { width: 1000, height: 700 },
    args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run', '--disable-background-networking',
      '--disable-component-update', '--disable-sync', '--use-gl=angle', '--use-angle=swiftshader',
      '--enable-unsafe-swiftshader'],
  });
  const page = browser.pages()[0] || await browser.newPage();
  const errors = [];
  const fetched = [];
  // Errors only: software WebGL in a headless browser logs a driver warning
  // ("GPU stall due to ReadPixels") for any WebGL page, however bare.
  page.on('console', (message) => {
    if (message.type() === 'error') errors.push(message.text());
  });
  page.on('pageerror', (error) => errors.push(`exception: ${error.message}`));
  await page.route('**/*', (route) => {
    const url = route.request().url();
    if (url === pageUrl) return route.continue();
    fetched.push(url);
    return route.abort();
  });
  await page.goto(pageUrl);
  await page.waitForFunction(() => document.body.dataset.ready, null, { timeout: 60000 });
  check(await page.evaluate(() => document.body.dataset.ready) === 'yes', 'the page says it is ready');

  const data = await page.evaluate(() => JSON.parse(document.getElementById('tressel-data').textContent));
  const names = await page.$$eval('#groups .name', (spans) => spans.map((span) => span.textContent));
  check(JSON.stringify(names) === JSON.stringify(['box0', 'box1', 'box2']), `the legend names the groups: ${names}`);
  const header = await page.textContent('header');
  check(header === 'boxes.obj · mode 0 · push 0.3 · scale 1 · 18 wires · 72 segments', `the header line: ${header}`);

  // The view's pixels by colour, from a screenshot decoded by the page's own
  // 2D canvas. A pixel counts for a colour when it lies on the way from white
  // to that colour, at least a quarter of the way: the depth cue fades far
  // wires towards white.
  async function counts(colours) {
    const shot = (await page.locator('#view canvas').screenshot()).toString('base64');
    return page.evaluate(async ({ shot, colours }) => {
      const image = new Image();
      image.src = 'data:image/png;base64,' + shot;
      await image.decode();
      const canvas = document.createElement('canvas');
      canvas.width = image.width;
      canvas.height = image.height;
      const context = canvas.getContext('2d');
      context.drawImage(image, 0, 0);
      const pixels = context.getImageData(0, 0, image.width, image.height).data;
      const targets = colours.map((hex) => [1, 3, 5].map((at) => parseInt(hex.slice(at, at + 2), 16) - 255));
      const found = targets.map(() => 0);
      let painted = 0;
      for (let i = 0; i < pixels.length; i += 4) {
        const v = [pixels[i] - 255, pixels[i + 1] - 255, pixels[i + 2] - 255];
        if (v[0] < -5 || v[1] < -5 || v[2] < -5) painted += 1;
        targets.forEach((w, t) => {
          const along = (v[0] * w[0] + v[1] * w[1] + v[2] * w[2]) / (w[0] * w[0] + w[1] * w[1] + w[2] * w[2]);
          const off = Math.hypot(v[0] - along * w[0], v[1] - along * w[1], v[2] - along * w[2]);
          if (along > 0.25 && along < 1.1 && off < 20) found[t] += 1;
        });
      }
      return { found, painted };
    }, { shot, colours });
  }
  const colours = data.groups.map((group) => group.colour);
  const shown = await counts(colours);
  colours.forEach((colour, g) => check(shown.found[g] > 50, `group ${g}'s wires in ${colour}: ${shown.found[g]} pixels`));

  await page.click('#groups input[data-group="1"]');
  const hidden = await counts(colours);
  check(hidden.found[1] < 5 && hidden.found[0] > 50 && hidden.found[2] > 50,
    `switching group 1 off hides only it: ${hidden.found}`);
  await page.click('#groups input[data-group="1"]');

  // The ramp's middle colours (cyan, yellow) are none of the groups'.
  const middle = ['#00b8d9', '#f2bf0d'];
  const before = await counts(middle);
  await page.check('#ramp');
  const ramped = await counts(middle);
  check(before.found[0] + before.found[1] < 5 && ramped.found[0] > 20 && ramped.found[1] > 20,
    `the u ramp colours the wires: cyan and yellow ${before.found} before, ${ramped.found} after`);

  await page.click('button[data-view="top"]');
  check((await counts(colours)).painted > 1000, 'the top view draws the model');

  check(errors.length === 0, `no console errors: ${errors.join(' | ')}`);
  check(fetched.length === 0, `nothing fetched: ${fetched.join(' ')}`);
} catch (error) {
  check(false, `the run: ${error.stack || error}`);
} finally {
  if (browser) await browser.close();
  rmSync(folder, { recursive: true, force: true });
  rmSync(profile, { recursive: true, force: true });
}
process.exit(failures ? 1 : 0);
