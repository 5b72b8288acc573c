// The show's web page in headless Chromium with its software WebGL 2, or in
// Firefox (SHOW_BROWSER=firefox): its frames against the desktop's scene at
// the same show times, the keys, the beats against the audio clock, the end
// of the show and its failures. Firefox runs those that hang on what differs
// between browsers (its GL, its compiler's messages, its keys, full screen,
// the page's lines); where it plays no sound, the page runs silent and the
// checks of the music say they are left out.
// Run by CTest (WEB_DIR: the built page; SCENECOMPARE: the desktop's
// comparison of frames with the scene tests' limits).

import { PageServer, browserName, launchBrowser, openShow, failureLines, frameAt, framesDrawn, musicFile,
         playsSound, pressKey, sleep } from '../../web/headless.mjs';

import assert from 'node:assert/strict';
import { spawnSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { after, before, describe, test } from 'node:test';

const webDir = process.env.WEB_DIR;

// Left out (77) where the page or the driver is missing: make test makes both.
if (!webDir || !fs.existsSync(path.join(webDir, 'show.wasm'))) {
    console.log(`No built page in ${webDir}: make web builds it`);
    process.exit(77);
}
if (!fs.existsSync(new URL('../../node_modules/puppeteer-core', import.meta.url))) {
    console.log('No puppeteer-core: npm ci at the top of the project installs it');
    process.exit(77);
}

const silentShow = '; the show runs silent and its beats do not fire';
const silentLine = `The browser plays no sound (its audio is suspended)${silentShow}`;
let server;
let browser;
// Chromium's sound runs without a sound device; Firefox's needs a server.
let soundPlays = true;

before(async () => {
    server = new PageServer(webDir);
    await server.start();
    browser = await launchBrowser();
    if (browserName !== 'chromium')
        soundPlays = await playsSound(browser);
});

// The page's failure lines a started show has where the music is not heard.
const unheard = () => (soundPlays ? [] : [silentLine]);

// A check of what the music does, left out (and said to be) where the
// browser plays no sound.
const withSound = (check) => async (t) => {
    if (!soundPlays) {
        t.skip(`${browserName} plays no sound here: the page runs silent`);
        return;
    }
    await check(t);
};

// Checks of the program's own rules, which no browser changes, run in
// Chromium alone.
const ruleOnly = { skip: browserName !== 'chromium' && 'the same program in every browser: run in Chromium' };
// Checks that need what only Chromium's driver gives.
const chromiumOnly = (why) => ({ skip: browserName !== 'chromium' && why });

after(async () => {
    await browser?.close();
    await server?.stop();
});

// The show's page, drawn small where the check looks at no picture: the
// browser draws in software, and its frames come sooner. The picture checks
// name their size. In a browser that plays no sound here, the page gives up
// on the sound at once rather than after its 5 s: the same line, the same
// silent show.
function open(url, options = {}) {
    const soundWait = soundPlays ? '' : `${url.includes('?') ? '&' : '?'}soundwait=0`;
    return openShow(browser, url + soundWait, { width: 64, height: 36, ...options });
}

// The show's page with its clock held, started by a click; its show timer
// starts with the music, at the held clock's 0.
async function heldShow(name, options = {}) {
    const show = await open(server.page(name, options.files, '?clock=held'), options);
    await show.page.mouse.click(5, 5);
    await show.page.waitForFunction(() => ShowPage.music.startedAt !== null, { timeout: 60000 });
    return show;
}

// Show time from a show-timer reading, as the desktop computes it: whole
// milliseconds at 1250 a show second, in float (exact for these values).
const timerFor = (showTime) => Math.round(showTime * 1250);

async function showTimeAfter(page, timerMs, ...keys) {
    await page.evaluate((ms) => ShowPage.setClock(ms), timerMs);
    for (const key of keys)
        await pressKey(page, key);
    const drawn = await framesDrawn(page);
    // Two frames later, every key has been taken.
    await page.waitForFunction((n) => ShowPage.lastFrame.frame >= n + 2, { timeout: 60000 }, drawn);
    return page.evaluate(() => ShowPage.lastFrame.showTime);
}

// The canvas as a PNG, once a frame at this show time is on it.
async function frameAsPng(page, showTime) {
    await frameAt(page, showTime);
    const url = await page.evaluate(() => document.getElementById('canvas').toDataURL('image/png'));
    return Buffer.from(url.split(',')[1], 'base64');
}

// As a browser without a sound device: the page's AudioContext stays
// suspended, until the test starts its sound (window.startSound()).
const soundHeldBack = (page) => page.evaluateOnNewDocument(() => {
    const held = [];
    window.startSound = () => held.forEach((resume) => resume());
    window.AudioContext = class extends AudioContext {
        constructor(options) {
            super(options);
            this.suspend();
            held.push(() => super.resume());
        }
        resume() { return Promise.resolve(); }
    };
});

// Waits for a check of the test's own (the page's console lines, say) to
// hold, looking again every 20 ms; false after `ms`.
async function until(check, ms) {
    for (const end = Date.now() + ms; Date.now() < end; await sleep(20))
        if (check())
            return true;
    return check();
}

describe('picture', () => {
    // Each frame is saved as SHOWTIME.png and held against the desktop's
    // offscreen scene at that show time and size, within the scene tests'
    // limits, by the desktop's own comparison. Each is as large as the
    // canvas's place on the page in device pixels (as the browser lays it
    // out, at the ratio the case asks for): a picture at CSS pixels would
    // match the desktop's at its own smaller size. prepare(page) runs
    // before the first.
    async function framesMatchTheDesktop(options, moments, prepare) {
        const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'webframes-'));
        const { page, errors } = await heldShow('picture', options);
        await prepare?.(page);
        const sizes = [];
        for (const { timerMs, keys = [], showTime } of moments) {
            await page.evaluate((ms) => ShowPage.setClock(ms), timerMs);
            for (const key of keys)
                await pressKey(page, key);
            const png = await frameAsPng(page, showTime);
            fs.writeFileSync(path.join(dir, `${showTime}.png`), png);
            // The PNG's own width and height, from its header.
            const laidOut = await page.$eval('#canvas', (canvas) => [canvas.clientWidth, canvas.clientHeight]);
            sizes.push({ png: [png.readUInt32BE(16), png.readUInt32BE(20)],
                         devicePixels: laidOut.map((side) => side * (options.scale ?? 1)) });
        }
        await page.close();
        for (const { png, devicePixels } of sizes)
            assert.deepEqual(png, devicePixels);
        assert.deepEqual(errors, unheard());
        const compare = spawnSync(process.env.SCENECOMPARE, [dir], { encoding: 'utf8' });
        console.log(compare.stdout + compare.stderr);
        assert.equal(compare.status, 0, `the frames in ${dir} differ from the desktop's beyond the limits`);
        fs.rmSync(dir, { recursive: true });
    }

    // The comparison can fail: the camera of shot 3 a sixtieth of a second
    // on turns a degree, which breaks the limits.
    test('a frame held against the desktop\'s a sixtieth of a second later differs', async () => {
        const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'webframes-'));
        const { page } = await heldShow('shifted', { width: 320, height: 180 });
        await page.evaluate((ms) => ShowPage.setClock(ms), timerFor(12.5));
        fs.writeFileSync(path.join(dir, `${12.5 + 1 / 60}.png`), await frameAsPng(page, 12.5));
        await page.close();
        const compare = spawnSync(process.env.SCENECOMPARE, [dir], { encoding: 'utf8' });
        assert.equal(compare.status, 1, compare.stdout + compare.stderr);
        fs.rmSync(dir, { recursive: true });
    });

    test('frames at held show times are the desktop\'s, one reached by a key', () => framesMatchTheDesktop(
        { width: 320, height: 180 },
        [
            { timerMs: timerFor(2.5), showTime: 2.5 },     // shot 1, walls rising
            { timerMs: timerFor(4.5), showTime: 4.5 },     // half faded before the first cut
            { timerMs: timerFor(24), showTime: 24 },       // shot 5, swinging up
            { timerMs: timerFor(2.5), keys: ['ArrowUp'], showTime: 12.5 }, // shot 3, through Up
        ]));

    test('the canvas is drawn at the device\'s pixels', () => framesMatchTheDesktop(
        { width: 160, height: 90, scale: 2 },
        [{ timerMs: timerFor(16.5), showTime: 16.5 }]));  // shot 4, at 320x180 pixels

    test('a lost WebGL context comes back with the picture', () => framesMatchTheDesktop(
        { width: 320, height: 180 },
        [{ timerMs: timerFor(24), showTime: 24 }],
        async (page) => {
            await page.evaluate((ms) => ShowPage.setClock(ms), timerFor(2.5));
            await frameAt(page, 2.5);
            // As a browser takes the GL away (a GPU reset): frames go on
            // without a picture until it gives it back.
            await page.evaluate(() => {
                window.loseContext = GLctx.getExtension('WEBGL_lose_context');
                window.loseContext.loseContext();
            });
            await page.waitForFunction(() => GLctx.isContextLost() && !ShowPage.lastFrame.pictured);
            const fontsLoaded = await page.evaluate(() => ShowPage.texturesLoaded);
            const drawn = await framesDrawn(page);
            await page.waitForFunction((n) => ShowPage.lastFrame.frame > n + 2, { timeout: 60000 }, drawn);
            await page.evaluate(() => window.loseContext.restoreContext());
            await page.waitForFunction(() => !GLctx.isContextLost() && ShowPage.lastFrame.pictured,
                                       { timeout: 60000 });
            // The font image comes again from the browser's cache.
            await page.waitForFunction((n) => ShowPage.texturesLoaded > n, { timeout: 60000 }, fontsLoaded);
        }));

    // A maker's stage that reads every uniform (testsupport/everyuniform.frag,
    // which the capture's test draws too), with a font of two rows (its top
    // row green 0, its bottom row 255) and music without beats. Worked out by
    // hand, as for the capture: no pulse (red 0); the font's top row at
    // texture coordinate 0, the bottom half of the picture, so green 0 below
    // and 255 above; blue a quarter of the show time, from 0 every 4 s.
    test('a maker\'s stage is fed every uniform as the desktop feeds it, the font the same way up', async () => {
        const support = new URL('../../testsupport/', import.meta.url).pathname;
        const { page, errors } = await heldShow('everyuniform', { files: {
            'shader.frag': path.join(support, 'everyuniform.frag'),
            'text.png': path.join(support, 'tworowfont.png'),
            'music.bmm': musicFile([], 44100) } });
        for (const { showTime, blue } of [{ showTime: 1, blue: 64 }, { showTime: 2.5, blue: 159 }]) {
            await page.evaluate((ms) => ShowPage.setClock(ms), timerFor(showTime));
            await frameAt(page, showTime);
            // The canvas holds its picture (the held clock keeps its buffer).
            const [upper, lower] = await page.evaluate(() => {
                const canvas = document.getElementById('canvas');
                const copy = document.createElement('canvas');
                copy.width = canvas.width;
                copy.height = canvas.height;
                const context = copy.getContext('2d');
                context.drawImage(canvas, 0, 0);
                const at = (y) => Array.from(context.getImageData(canvas.width >> 1, Math.floor(canvas.height * y), 1, 1).data);
                return [at(0.25), at(0.75)];
            });
            const near = (got, want) => assert.ok(Math.abs(got - want) <= 1, `${got} is not ${want} at ${showTime}`);
            for (const [pixel, green] of [[upper, 255], [lower, 0]]) {
                near(pixel[0], 0);
                near(pixel[1], green);
                near(pixel[2], blue);
            }
        }
        assert.deepEqual(errors, unheard());
        await page.close();
    });
});

describe('keys', () => {
    test('the keys move the show time as on the desktop', async () => {
        const { page, errors } = await heldShow('keys');
        // Show time = timer / 1250 + keys' seconds - the holds' (derived by hand).
        assert.equal(await showTimeAfter(page, 2500), 2);
        assert.equal(await showTimeAfter(page, 2500, 'ArrowUp'), 12);
        assert.equal(await showTimeAfter(page, 2500, 'ArrowDown', 'ArrowDown'), -8);
        assert.equal(await showTimeAfter(page, 2500, 'ArrowRight', 'ArrowRight', 'ArrowLeft'), -7);
        // The keypad's Enter is not Return.
        assert.equal(await showTimeAfter(page, 2500, 'NumpadEnter'), -7);
        // Return starts the show timer again, here at the page clock's 2500 ms.
        assert.equal(await showTimeAfter(page, 2500, 'Enter'), 0);
        assert.equal(await showTimeAfter(page, 3750), 1);
        // Space holds the show time where it stands however the timer runs...
        assert.equal(await showTimeAfter(page, 5000, 'Space'), 2);
        assert.equal(await showTimeAfter(page, 10000), 2);
        // ... and lets it run on from there: 5000 ms held leave 4 s behind.
        assert.equal(await showTimeAfter(page, 10000, 'Space'), 2);
        assert.equal(await showTimeAfter(page, 11250), 3);
        assert.deepEqual(errors, unheard());
        await page.close();
    });

    // The program takes numbers from the page's JavaScript: one that is no
    // number must not reach an integer (in WebAssembly that traps).
    test('a page clock or music start that is no number leaves the show time as it was', ruleOnly, async () => {
        const { page, errors } = await heldShow('nonumber');
        assert.equal(await showTimeAfter(page, 2500), 2);
        for (const reading of [NaN, Infinity, -Infinity])
            assert.equal(await showTimeAfter(page, reading), 2);
        assert.equal(await showTimeAfter(page, 3750), 3);
        // A music start that is no number is taken as now: the timer starts at 3750.
        await page.evaluate(() => Module._show_musicStarts(NaN));
        assert.equal(await showTimeAfter(page, 5000), 1);
        assert.deepEqual(errors, []);
        await page.close();
    });

    test('Escape ends the show: the music stops, full screen is left, no frame follows', async () => {
        const { page, lines, errors } = await heldShow('escape');
        await showTimeAfter(page, 1000);
        assert.equal(await page.evaluate(() => document.fullscreenElement !== null), true);
        await pressKey(page, 'Escape');
        await page.waitForFunction(() => !ShowPage.running);
        const drawn = await framesDrawn(page);
        // Two of the browser's own frames later, none of the show's.
        await page.evaluate(() => new Promise((resolve) => requestAnimationFrame(() => requestAnimationFrame(resolve))));
        assert.equal(await framesDrawn(page), drawn);
        assert.equal(await page.evaluate(() => document.fullscreenElement), null);
        assert.equal(await page.evaluate(() => ShowPage.music.context.state), 'closed');
        assert.equal(lines.at(-1), 'the show ends: Escape');
        assert.deepEqual(errors, unheard());
        await page.close();
    });

    test('the show ends on the first frame past 38.2 s of its timer', ruleOnly, async () => {
        const { page, lines } = await heldShow('end');
        await showTimeAfter(page, 38200);
        assert.equal(await page.evaluate(() => ShowPage.running), true);
        await page.evaluate(() => ShowPage.setClock(38201));
        await page.waitForFunction(() => !ShowPage.running);
        assert.equal(await page.evaluate(() => ShowPage.lastFrame.showTime), Math.fround(38201 / 1250));
        assert.equal(lines.at(-1), 'the show ends: its 38.2 s are over');
        await page.close();
    });
});

describe('touch and play again', () => {
    // A finger dragged from the middle of the page by (dx, dy) CSS pixels,
    // through the browser's touch emulation.
    async function swipe(page, dx, dy) {
        await page.touchscreen.touchStart(160, 90);
        await page.touchscreen.touchMove(160 + dx, 90 + dy);
        await page.touchscreen.touchEnd();
    }

    // Taps through the browser's touch emulation, their touches sent at
    // once, so that a loaded machine does not space them past the 500 ms a
    // tap may last or the 300 ms between the two of a double tap.
    async function taps(page, count) {
        const session = await page.createCDPSession();
        const touch = (type) => session.send('Input.dispatchTouchEvent', {
            type, touchPoints: type === 'touchEnd' ? [] : [{ x: 160, y: 90 }] });
        await Promise.all(Array.from({ length: count }, () => ['touchStart', 'touchEnd']).flat().map(touch));
        await session.detach();
    }

    // A tap waits 300 ms for a second one, so the hold is waited for as it shows.
    async function heldAfterTap(page, held) {
        await taps(page, 1);
        await page.waitForFunction((h) => ShowPage.lastFrame.held === h, { timeout: 60000 }, held);
    }

    test('each gesture does what its key does, and the end offers to play again',
         chromiumOnly('its taps go through Chromium\'s own protocol'), async () => {
        const { page, lines, errors } = await open(server.page('touch', {}, '?clock=held'), { width: 320, height: 180, touch: true });
        // A tap starts the show, as a click does.
        await page.touchscreen.tap(160, 90);
        await page.waitForFunction(() => ShowPage.music.startedAt !== null, { timeout: 60000 });
        // The same moves as the keys' test, by hand: show time = timer /
        // 1250 + the seeks (right and left a second, up and down ten).
        assert.equal(await showTimeAfter(page, 2500), 2);
        await swipe(page, 80, 10);
        assert.equal(await showTimeAfter(page, 2500), 3);
        await swipe(page, -10, -70);
        assert.equal(await showTimeAfter(page, 2500), 13);
        await swipe(page, 5, 60);
        assert.equal(await showTimeAfter(page, 2500), 3);
        await swipe(page, -60, 0);
        assert.equal(await showTimeAfter(page, 2500), 2);
        // A tap holds where the show stands; a second lets it run on.
        await heldAfterTap(page, true);
        assert.equal(await showTimeAfter(page, 5000), 2);
        await heldAfterTap(page, false);
        assert.equal(await showTimeAfter(page, 6250), 3);
        // A double tap starts the show timer again (at 6250), with no hold.
        await taps(page, 2);
        assert.equal(await showTimeAfter(page, 7500), 1);
        assert.equal(await page.evaluate(() => ShowPage.lastFrame.held), false);

        // The end, 38.2 s of timer after the restart; a tap plays it again
        // from 0 with its music (heard at the held clock's 50000).
        await page.evaluate(() => ShowPage.setClock(6250 + 38201));
        await page.waitForFunction(() => !ShowPage.running, { timeout: 60000 });
        assert.equal(await page.$eval('#prompt', (prompt) => prompt.hidden), false);
        assert.match(await page.$eval('#prompt', (prompt) => prompt.textContent), /see it again/);
        const beatsBefore = lines.filter((line) => /^-?\d+ \d+$/.test(line)).length;
        await page.evaluate(() => ShowPage.setClock(50000));
        await page.touchscreen.tap(160, 90);
        await page.waitForFunction(() => ShowPage.running && ShowPage.music.startedAt === 50000, { timeout: 60000 });
        assert.equal(await page.$eval('#prompt', (prompt) => prompt.hidden), true);
        assert.equal(await showTimeAfter(page, 51250), 1);
        // Its beats fire again from the first, the installed show's 1000
        // (the music's clock runs from 0 again).
        await page.waitForFunction(() => ShowPage.music.clock >= 1000, { timeout: 60000 });
        await framesDrawn(page).then((n) => page.waitForFunction((m) => ShowPage.lastFrame.frame >= m + 2, { timeout: 60000 }, n));
        const firedAgain = lines.filter((line) => /^-?\d+ \d+$/.test(line)).slice(beatsBefore);
        assert.match(firedAgain[0] ?? '', /^1000 /, firedAgain.join('\n'));
        assert.deepEqual(errors, []);
        await page.close();
    });

    test('a key plays the show again after its end, before the browser has left full screen', async () => {
        const { page } = await heldShow('again');
        // The browser's leaving full screen at the end held back until the
        // key has started the show again, as a busy machine may have it.
        assert.equal(await page.evaluate(() => {
            const leave = document.exitFullscreen.bind(document);
            document.exitFullscreen = () => new Promise((resolve) => { window.leaveNow = () => resolve(leave()); });
            return document.fullscreenElement !== null;
        }), true);
        await page.evaluate(() => ShowPage.setClock(38201));
        await page.waitForFunction(() => !ShowPage.running, { timeout: 60000 });
        await page.evaluate(() => ShowPage.setClock(40000));
        await pressKey(page, 'KeyA');
        await page.waitForFunction(() => ShowPage.running && ShowPage.music.startedAt === 40000, { timeout: 60000 });
        // That leaving is no Escape: the show runs on.
        await page.evaluate(() => new Promise((resolve) => {
            document.addEventListener('fullscreenchange', resolve, { once: true });
            leaveNow();
        }));
        await page.evaluate(() => new Promise((resolve) => requestAnimationFrame(() => requestAnimationFrame(resolve))));
        assert.equal(await page.evaluate(() => ShowPage.running), true);
        assert.equal(await showTimeAfter(page, 42500), 2);
        await page.close();
    });
});

describe('resolution', () => {
    // The canvas's drawing size, and the page's frame times, as it runs on
    // the real clock.
    const drawn = (page) => page.evaluate(() => {
        const canvas = document.getElementById('canvas');
        return { width: canvas.width, height: canvas.height };
    });

    // Firefox in its window goes full screen at the X screen's size, not
    // the viewport's, so its canvas is not the size this check sets.
    test('where frames are slow the page draws at a lower resolution, and back up when they are fast',
         chromiumOnly('its full screen is the viewport\'s size in Chromium alone'), async () => {
        // SwiftShader takes far longer than 33 ms for a frame this large.
        const { page, errors } = await openShow(browser, server.page('floor'), { width: 960, height: 540 });
        await page.mouse.click(5, 5);
        // The program sizes the canvas from its first frame on: before that
        // it has the browser's default 300 px, which a busy machine leaves
        // there long enough to be seen.
        await page.waitForFunction(() => ShowPage.lastFrame.frame >= 1 && document.getElementById('canvas').width < 960,
                                   { timeout: 120000, polling: 200 });
        // Lowered in eighths of each side, down to no less than a quarter.
        let size = await drawn(page);
        assert.equal((size.width * 8) % 960, 0, `${size.width} px is no eighth of 960`);
        assert.ok(size.width >= 240 && size.height === Math.round(540 * size.width / 960), JSON.stringify(size));
        // The CSS size stays the canvas's whole: the picture is stretched.
        assert.deepEqual(await page.$eval('#canvas', (canvas) => [canvas.clientWidth, canvas.clientHeight]), [960, 540]);
        // A page small enough to draw in a few milliseconds climbs back to
        // the whole of its canvas.
        await page.setViewport({ width: 64, height: 36 });
        await page.waitForFunction(() => document.getElementById('canvas').width === 64, { timeout: 120000, polling: 200 });
        size = await drawn(page);
        assert.deepEqual(size, { width: 64, height: 36 });
        assert.deepEqual(errors, []);
        await page.close();
    });
});

describe('music and beats', () => {
    // The sound is found in the audio itself: a second worklet after the
    // player finds the context's frame of the first sample that is not
    // silence (the music's frames are none), which the browser's output
    // timestamp puts on the page's clock. The show timer's start is found
    // from the frames drawn: each frame's page clock less its show time at
    // 1250 ms a second; the earliest such is the start, as the frame reads
    // its clock before it is reported.
    test('the show timer starts when the music is heard', withSound(async () => {
        const music = musicFile([], 5 * 44100);
        const { page, errors } = await open(server.page('together', { 'music.bmm': music }), {
            beforeLoad: (page) => page.evaluateOnNewDocument(() => {
                const recorder = `registerProcessor('first-sound', class extends AudioWorkletProcessor {
                    process(inputs) {
                        const left = inputs[0][0];
                        for (let i = 0; !this.heard && left && i < left.length; ++i) {
                            if (left[i] !== 0) {
                                this.heard = true;
                                this.port.postMessage(currentFrame + i);
                            }
                        }
                        return true;
                    }
                });`;
                const recorderUrl = URL.createObjectURL(new Blob([recorder], { type: 'text/javascript' }));
                const addModule = AudioWorklet.prototype.addModule;
                AudioWorklet.prototype.addModule = function (url, ...rest) {
                    return addModule.call(this, recorderUrl).then(() => addModule.call(this, url, ...rest));
                };
                const connect = AudioNode.prototype.connect;
                AudioNode.prototype.connect = function (destination, ...rest) {
                    if (this instanceof AudioWorkletNode && destination instanceof AudioDestinationNode) {
                        const tap = new AudioWorkletNode(this.context, 'first-sound');
                        tap.port.onmessage = (event) => {
                            const { contextTime, performanceTime } = this.context.getOutputTimestamp();
                            window.firstSoundAt = performanceTime
                                + (event.data / this.context.sampleRate - contextTime) * 1000;
                        };
                        connect.call(this, tap);
                        connect.call(tap, destination); // silent: it writes no output
                    }
                    return connect.call(this, destination, ...rest);
                };
            }),
        });
        await page.evaluate(() => {
            window.frames = [];
            const frameDrawn = ShowPage.frameDrawn.bind(ShowPage);
            ShowPage.frameDrawn = (frame, showTime, pictured, ...rest) => {
                window.frames.push([performance.now(), showTime]);
                frameDrawn(frame, showTime, pictured, ...rest);
            };
        });
        const clickAt = await page.evaluate(() => performance.now());
        await page.mouse.click(5, 5);
        await page.waitForFunction(() => window.firstSoundAt !== undefined && ShowPage.lastFrame.showTime > 0.5,
                                   { timeout: 60000 });
        const { firstSoundAt, frames } = await page.evaluate(() => ({ firstSoundAt, frames: window.frames }));
        await page.close();
        const timerStart = Math.min(...frames.filter(([, t]) => t > 0).map(([at, t]) => at - t * 1250));
        // Before the music, the picture held at 0.
        assert.ok(frames.filter(([at]) => at < firstSoundAt - 20).every(([, t]) => t === 0));
        const apart = timerStart - firstSoundAt;
        console.log(`the show timer starts ${apart.toFixed(1)} ms after the first sound heard, `
                    + `which came ${(firstSoundAt - clickAt).toFixed(1)} ms after the click`);
        // A frame (16.7 ms at 60 a second) of room for where frames fall.
        assert.ok(Math.abs(apart) < 20, `the show timer starts ${apart} ms after the music`);
        assert.deepEqual(errors, []);
    }));

    test('a sound that starts after the page gave up on it takes its line away and restarts the show timer', withSound(async () => {
        // The page gives up on the sound at once (?soundwait=0): the 5 s wait
        // itself is the suspended-sound failure check's.
        const { page, errors } = await open(server.page('latesound', { 'music.bmm': musicFile([0, 50], 44100) }, '?soundwait=0'),
                                                { beforeLoad: soundHeldBack });
        await page.mouse.click(5, 5);
        await page.waitForFunction(() => document.querySelector('#failures > div') !== null, { timeout: 60000 });
        assert.match((await failureLines(page))[0], /^The browser plays no sound \(its audio is suspended\)/);
        // The silent show runs meanwhile.
        await page.waitForFunction(() => ShowPage.lastFrame.showTime > 1.2, { timeout: 60000 });
        await page.evaluate(() => window.startSound());
        await page.waitForFunction(() => ShowPage.music.clock >= 100, { timeout: 60000 });
        assert.deepEqual(await failureLines(page), []);
        // The show timer started again with the music.
        const { showTime, heard } = await page.evaluate(() => ({ showTime: ShowPage.lastFrame.showTime, heard: ShowPage.music.clock }));
        // The clock's 500 units a second against show time's 0.8: within a second of each other.
        assert.ok(Math.abs(showTime / 0.8 - heard / 500) < 1, `show time ${showTime}, audio clock ${heard}`);
        assert.equal(errors.length, 1, errors.join('\n'));
        await page.close();
    }));

    test('a late sound starts the show afresh: a hold and a seek of the silent run do not carry over', withSound(async () => {
        const { page } = await open(server.page('latehold', { 'music.bmm': musicFile([0, 50], 44100) },
                                                             '?clock=held&soundwait=0'), { beforeLoad: soundHeldBack });
        await page.mouse.click(5, 5);
        await page.waitForFunction(() => document.querySelector('#failures > div') !== null, { timeout: 60000 });
        // The silent run's timer started at the held clock's 0 (the page's
        // clock when it gave up): 2500 ms are 2 s of show time; held there,
        // Down takes 10 s off.
        assert.equal(await showTimeAfter(page, 2500), 2);
        assert.equal(await showTimeAfter(page, 2500, 'Space', 'ArrowDown'), -8);
        assert.equal(await showTimeAfter(page, 5000), -8);
        // The music is heard at the held clock's 5000: the show runs from 0
        // with it, neither held nor 10 s behind (by hand: 1250 ms later, 1 s).
        await page.evaluate(() => window.startSound());
        await page.waitForFunction(() => ShowPage.music.startedAt === 5000, { timeout: 60000 });
        assert.equal(await showTimeAfter(page, 5000), 0);
        assert.equal(await showTimeAfter(page, 6250), 1);
        // And Space holds afresh from there.
        assert.equal(await showTimeAfter(page, 6250, 'Space'), 1);
        assert.equal(await showTimeAfter(page, 8750), 1);
        await page.close();
    }));

    test('beats fire in order once the audio clock has reached them, also past the music\'s end', withSound(async () => {
        // One second of music; beats the show's rule fires (0, 50, 120, 400,
        // and 700 after the music has ended) and ones it never fires (-5,
        // the second 0, the second 50). A smaller value after a larger one is
        // left to the host's own test: whether it fires depends on whether a
        // frame happens to see the clock between the two.
        const music = musicFile([-5, 0, 0, 50, 50, 120, 400, 700], 44100);
        const { page, lines, errors } = await open(server.page('beats', { 'music.bmm': music }));
        await page.mouse.click(5, 5);
        await page.waitForFunction(() => ShowPage.music.clock >= 900, { timeout: 60000 });
        // The last beat's line, on its way from the page's console.
        await until(() => lines.some((line) => line.startsWith('700 ')), 60000);
        const beats = lines.filter((line) => /^-?\d+ \d+$/.test(line)).map((line) => line.split(' ').map(Number));
        assert.deepEqual(beats.map(([beat]) => beat), [0, 50, 120, 400, 700]);
        for (const [beat, clock] of beats) {
            assert.ok(clock >= beat, `beat ${beat} fired at the clock ${clock}`);
            assert.equal(clock % 10, 0, `the clock moves in steps of 10: ${clock}`);
        }
        // Once a second: the frames, then the show timer's seconds.
        const report = lines.findIndex((line) => /^\d+$/.test(line));
        assert.ok(report >= 0 && /^\d+(\.\d+)?$/.test(lines[report + 1]), lines.join('\n'));
        assert.deepEqual(errors, []);
        await page.close();
    }));

    test('a long music file is read only as far as it plays', withSound(async () => {
        const frames = 60 * 44100;
        const music = musicFile([0], frames);
        const { page } = await open(server.page('long', { 'music.bmm': music }));
        await page.mouse.click(5, 5);
        await page.waitForFunction(() => ShowPage.music.clock >= 1000, { timeout: 60000 });
        const { posted, consumed } = await page.evaluate(() => ({ posted: ShowPage.music.posted, consumed: ShowPage.music.consumed }));
        // The player holds at most two seconds beyond what it has played.
        assert.ok(posted - consumed <= 2 * 44100, `${posted - consumed} frames ahead`);
        assert.ok(posted < frames / 4, `${posted} frames handed over of ${frames}`);
        await page.close();
    }));
});

describe('failures', () => {
    // Each is one line on the page and the console, and the show goes on; in
    // a browser that plays no sound here, a page whose music is whole has
    // the silent line too. whileOpen(page) looks at the page before it closes.
    async function failingShow(name, files, expected, beforeLoad, whileOpen) {
        const { page, lines, errors } = await open(server.page(name, files), { beforeLoad });
        await page.mouse.click(5, 5);
        await page.waitForFunction(() => document.querySelector('#failures > div') !== null, { timeout: 60000 });
        // The show goes on; and a second line, if there were one, is here by
        // now: every file the page starts with has loaded or failed, the show
        // timer has started (on the music, or without it, said so), and
        // frames have been drawn since.
        await page.waitForFunction(() => document.readyState === 'complete' && ShowPage.music.startedAt !== null,
                                   { timeout: 60000 });
        const drawn = await framesDrawn(page);
        await page.waitForFunction((n) => ShowPage.lastFrame.frame > n + 2, { timeout: 60000 }, drawn);
        const shown = await failureLines(page);
        const failures = shown.filter((line) => soundPlays || line !== silentLine || expected.test(line));
        assert.equal(failures.length, 1, shown.join('\n'));
        assert.match(failures[0], expected);
        assert.deepEqual(errors, shown);
        const seen = await whileOpen?.(page);
        await page.close();
        return { shown: failures[0], lines, seen };
    }

    const noBeatFired = (lines) => assert.deepEqual(lines.filter((line) => /^-?\d+ \d+$/.test(line)), []);

    test('without WebGL 2 the page says so', () => failingShow('nowebgl', {}, /has no WebGL 2/, (page) =>
        page.evaluateOnNewDocument(() => {
            const getContext = HTMLCanvasElement.prototype.getContext;
            HTMLCanvasElement.prototype.getContext = function (type, ...rest) {
                return type === 'webgl2' ? null : getContext.call(this, type, ...rest);
            };
        })));

    test('a missing music.bmm: a silent show', async () => {
        const { shown, lines } = await failingShow('nomusic', { 'music.bmm': null },
            /^Cannot load music\.bmm \(HTTP 404/);
        assert.ok(shown.endsWith(silentShow));
        noBeatFired(lines);
    });

    test('a music.bmm that ends inside its beat list: a silent show, no beats', async () => {
        // The count 5, two values (0 would fire at once) and two bytes.
        const truncated = Buffer.concat([musicFile([0, 50], 0, 5), Buffer.from([1, 2])]);
        const { lines } = await failingShow('truncated', { 'music.bmm': truncated },
            /^music\.bmm is broken: the file ends inside its list of 5 beats; the show runs silent/);
        noBeatFired(lines);
    });

    test('a music.bmm whose count the file cannot hold: a silent show, no beats', async () => {
        const { lines } = await failingShow('hugecount', { 'music.bmm': musicFile([0, 50], 44100, 0x80000000) },
            /^music\.bmm is broken: the file ends inside its list of 2147483648 beats/);
        noBeatFired(lines);
    });

    test('a music.bmm sent without its size whose count no show can use: refused at its count', async () => {
        // 8 MB of values for a count of 2^32 - 1: the page knows no size, and
        // keeping them until the file ends would cost what the file costs.
        const endless = { unsized: musicFile([0, 50], 1024 * 1024, 0xFFFFFFFF) };
        const { lines, seen: memory } = await failingShow('unsized', { 'music.bmm': endless },
            /^music\.bmm is broken: its list of 4294967295 beats is longer than any show can use \(at most 1677721\)/,
            undefined, (page) => page.evaluate(() => Module.HEAPU8.length));
        noBeatFired(lines);
        // The program's memory (2 MB at its start) did not grow by the 8 MB of
        // values: the browser may well have fetched them all, unread.
        assert.ok(memory < 8 * 1024 * 1024, `the program's memory grew to ${memory} bytes`);
    });

    test('a browser that keeps its sound suspended: a silent show', async () => {
        const { lines } = await failingShow('nosound', { 'music.bmm': musicFile([0, 50], 44100) },
            /^The browser plays no sound \(its audio is suspended\); the show runs silent/, soundHeldBack);
        // The clock stands at 0: only a beat at 0 fires.
        assert.deepEqual(lines.filter((line) => /^-?\d+ \d+$/.test(line)), ['0 0']);
    });

    test('a page whose program does not load says so', async () => {
        for (const [file, expected] of [['show.js', /^Cannot load show\.js/],
                                        ['show.wasm', /^The show's program stopped: .*wasm/]]) {
            const page = await browser.newPage();
            await page.goto(server.page(`no-${file}`, { [file]: null }));
            // A second line, if there were one, is here once every file the
            // page starts with has loaded or failed: no program runs after.
            await page.waitForFunction(() => document.querySelector('#failures > div') !== null
                                       && document.readyState === 'complete', { timeout: 60000 });
            const shown = await failureLines(page);
            assert.equal(shown.length, 1, shown.join('\n'));
            assert.match(shown[0], expected);
            await page.close();
        }
    });

    test('a stage that does not compile: the compiler\'s message, at the maker\'s own line', async () => {
        // The page serves the maker's desktop stage as it is; a mistake on its
        // line 3 is named by that line, whatever the page puts before it.
        const stage = fs.readFileSync(path.join(webDir, 'shader.frag'), 'utf8').split('\n');
        assert.match(stage[0], /^#version 330 core/);
        stage.splice(2, 0, 'this is no GLSL;');
        const { shown } = await failingShow('badstage', { 'shader.frag': Buffer.from(stage.join('\n')) },
            /^shader\.frag:3: error: /);
        assert.doesNotMatch(shown, /\n/);
    });
});
