// Plays an exported page folder in the browser SHOW_BROWSER names (headless
// Chromium by default; Firefox in a window on the X display, kept out of
// full screen so that its canvas too is 320x180), its clock held at a show
// time, and writes the picture on its canvas as a PNG:
//     node pageframe.mjs FOLDER SHOWTIME OUT.png
// The lines the page shows as failures go to standard error, one a line.
// Exits 0 with the picture written, 1 when the page failed to show it, 77
// when there is no driver for the browser. A page that plays no sound (a
// browser without a sound server) still shows its picture: its line is
// said and not counted.

import fs from 'node:fs';
import { PageServer, browserName, failureLines, frameAt, launchBrowser, openShow } from '../../web/headless.mjs';

const [folder, showTimeText, out] = process.argv.slice(2);
if (!fs.existsSync(new URL('../../node_modules/puppeteer-core', import.meta.url))) {
    console.error('No puppeteer-core: npm ci at the top of the project installs it');
    process.exit(77);
}

const showTime = Number(showTimeText);
const server = new PageServer(folder);
await server.start();
const browser = await launchBrowser(browserName, { fullScreen: false });
let status = 1;
try {
    const { page, errors } = await openShow(browser, server.page('page', {}, '?clock=held'));
    await page.mouse.click(5, 5);
    // The show timer starts with the music, at the held clock's 0.
    await page.waitForFunction(() => ShowPage.music.startedAt !== null, { timeout: 60000 });
    // The show timer's whole milliseconds at 1250 a show second.
    await page.evaluate((ms) => ShowPage.setClock(ms), Math.round(showTime * 1250));
    await frameAt(page, showTime);
    const url = await page.evaluate(() => document.getElementById('canvas').toDataURL('image/png'));
    fs.writeFileSync(out, Buffer.from(url.split(',')[1], 'base64'));
    for (const line of [...await failureLines(page), ...errors])
        console.error(line);
    status = errors.every((line) => line.startsWith('The browser plays no sound (')) ? 0 : 1;
} finally {
    await browser.close();
    await server.stop();
}
process.exit(status);
