// Driving the built page in a headless browser, for its test and its
// benchmark: a static server on 127.0.0.1 for the page, whose files each case
// can replace or take away, Debian's Chromium headless with its software
// WebGL 2 or Debian's Firefox ESR in a window, the page's console, and music
// files made byte by byte.

import fs from 'node:fs';
import http from 'node:http';
import path from 'node:path';
import { Readable, Transform } from 'node:stream';

const chromium = process.env.CHROMIUM ?? '/usr/bin/chromium';
const firefox = process.env.FIREFOX ?? '/usr/bin/firefox-esr';

const types = {
    '.html': 'text/html',
    '.js': 'text/javascript',
    '.wasm': 'application/wasm',
    '.png': 'image/png',
};

// Serves the built page's folder under /CASE/, where a case's own files (Buffers, { unsized:
// Buffer } for one sent without its size, or null for a file that is not there) stand in for
// the page's. Counts the bytes sent
// of every file, by case. Files go out as streams, at the pace the browser
// takes them.
export class PageServer {
    constructor(webDir) {
        this.webDir = webDir;
        this.cases = new Map();
        this.sent = new Map();
        this.server = http.createServer((request, response) => this.serve(request, response));
    }

    async start() {
        await new Promise((resolve) => this.server.listen(0, '127.0.0.1', resolve));
        this.origin = `http://127.0.0.1:${this.server.address().port}`;
    }

    stop() {
        this.server.closeAllConnections();
        return new Promise((resolve) => this.server.close(resolve));
    }

    // The address of the page with these files in place of the built ones.
    page(name, files = {}, query = '') {
        this.cases.set(name, files);
        return `${this.origin}/${name}/index.html${query}`;
    }

    bytesSent(name, file) {
        return this.sent.get(`${name}/${file}`) ?? 0;
    }

    // At the pace the browser takes the bytes, counting them on the way.
    send(stream, response, key) {
        const counter = new Transform({
            transform: (chunk, encoding, done) => {
                this.sent.set(key, (this.sent.get(key) ?? 0) + chunk.length);
                done(null, chunk);
            },
        });
        stream.pipe(counter).pipe(response);
        response.on('close', () => stream.destroy());
    }

    serve(request, response) {
        const [, name, file] = decodeURIComponent(new URL(request.url, this.origin).pathname).split('/');
        const files = this.cases.get(name);
        const key = `${name}/${file}`;
        const type = types[path.extname(file ?? '')] ?? 'application/octet-stream';
        if (files === undefined || files[file] === null) {
            response.writeHead(404).end();
            return;
        }
        if (files[file] instanceof Buffer || files[file]?.unsized instanceof Buffer) {
            const sized = files[file] instanceof Buffer;
            const bytes = sized ? files[file] : files[file].unsized;
            // Without a length the response goes out in chunks, its size unknown to the page.
            response.writeHead(200, sized ? { 'Content-Type': type, 'Content-Length': bytes.length } : { 'Content-Type': type });
            this.send(Readable.from(pieces(bytes)), response, key);
            return;
        }
        const source = typeof files[file] === 'string' ? files[file] : path.join(this.webDir, file);
        fs.stat(source, (error, stat) => {
            if (error || !stat.isFile()) {
                response.writeHead(404).end();
                return;
            }
            response.writeHead(200, { 'Content-Type': type, 'Content-Length': stat.size });
            this.send(fs.createReadStream(source), response, key);
        });
    }
}

function* pieces(bytes) {
    for (let at = 0; at < bytes.length; at += 65536)
        yield bytes.subarray(at, at + 65536);
}

// The browser the page's test and benchmark drive: SHOW_BROWSER names it,
// chromium (the default) or firefox.
export const browserName = process.env.SHOW_BROWSER || 'chromium';

// What each launched browser is, for what its driver does its own way.
const launched = new WeakMap();

// Debian's Chromium headless, with its software WebGL 2; or Debian's Firefox
// ESR, which has WebGL (2, through the X server's GL) only with a window:
// it needs DISPLAY, as scripts/with-x gives. Where no sound server runs,
// Firefox keeps its audio suspended and the page runs silent.
// With { fullScreen: false } Firefox refuses the page's full screen (the
// page says so on its console as a warning) and its canvas keeps the
// viewport's size, as Chromium's headless one does anyway.
export async function launchBrowser(name = browserName, { fullScreen = true } = {}) {
    const browser = await launch(name, fullScreen);
    launched.set(browser, name);
    return browser;
}

export const launchFirefox = (options) => launchBrowser('firefox', options);

async function launch(name, fullScreen) {
    const { default: puppeteer } = await import('puppeteer-core');
    if (name === 'firefox') {
        if (!process.env.DISPLAY)
            throw new Error('Firefox draws WebGL only in a window: run on an X display (scripts/with-x)');
        return puppeteer.launch({
            browser: 'firefox',
            executablePath: firefox,
            headless: false,
            extraPrefsFirefox: {
                // Its GL through Mesa's software renderer counts as no GPU
                // to Firefox, which would then offer no WebGL.
                'webgl.force-enabled': true,
                'full-screen-api.enabled': fullScreen,
            },
        });
    }
    if (name !== 'chromium')
        throw new Error(`SHOW_BROWSER names ${name}: say chromium or firefox`);
    return puppeteer.launch({
        executablePath: chromium,
        headless: true,
        args: [
            '--no-sandbox',
            '--use-gl=angle', '--use-angle=swiftshader', '--enable-unsafe-swiftshader',
            '--disable-background-networking', '--disable-component-update', '--disable-sync',
            '--disable-default-apps', '--no-first-run', '--mute-audio',
            // Frames and the audio clock keep their pace in a page nobody looks at.
            '--disable-background-timer-throttling', '--disable-renderer-backgrounding',
            '--disable-backgrounding-occluded-windows',
        ],
    });
}

// Whether the browser's sound plays here: a context started by a click
// runs within the page's own wait for it (5 s), or the page will run silent.
export async function playsSound(browser) {
    const page = await browser.newPage();
    try {
        await page.goto('about:blank');
        await page.evaluate(() => {
            window.soundState = new Promise((resolve) => addEventListener('click', () => {
                const context = new AudioContext();
                const answer = () => {
                    resolve(context.state);
                    context.close();
                };
                context.addEventListener('statechange', () => context.state === 'running' && answer());
                context.resume();
                setTimeout(answer, 5000);
            }, { once: true }));
        });
        await page.mouse.click(1, 1);
        return await page.evaluate(() => window.soundState) === 'running';
    } finally {
        await page.close();
    }
}

// Presses the key of a KeyboardEvent code ('Enter', 'NumpadEnter', 'Space',
// 'KeyA', 'ArrowUp', ...), as a keyboard sends it. Chromium's driver takes
// the code; Firefox's (WebDriver BiDi) takes the character a key types, or
// WebDriver's own value for the others, and gives its 'Enter' the keypad's code.
const webDriverKeys = { Enter: '\uE006', NumpadEnter: '\uE007', Space: ' ' };

export function pressKey(page, code) {
    if (launched.get(page.browser()) !== 'firefox')
        return page.keyboard.press(code);
    const key = webDriverKeys[code] ?? code.replace(/^Key([A-Z])$/, (_, letter) => letter.toLowerCase())
                                          .replace(/^Digit(\d)$/, '$1');
    return page.keyboard.press(key);
}

// A page of the show at a size, its console lines gathered; the program
// has started once this returns.
export async function openShow(browser, url, { width = 320, height = 180, scale = 1, touch = false, beforeLoad } = {}) {
    const page = await browser.newPage();
    await page.setViewport({ width, height, deviceScaleFactor: scale, hasTouch: touch });
    const lines = [];
    const errors = [];
    page.on('console', (message) => {
        if (message.type() === 'log')
            lines.push(message.text());
        else if (message.type() === 'error' && !message.text().startsWith('Failed to load resource'))
            errors.push(message.text());
    });
    page.on('pageerror', (error) => errors.push(`page error: ${error.message}`));
    if (beforeLoad)
        await beforeLoad(page);
    await page.goto(url);
    await page.waitForFunction(() => typeof Module !== 'undefined' && Module.calledRun === true, { timeout: 60000 });
    return { page, lines, errors };
}

// The page's failure lines as shown on it.
export function failureLines(page) {
    return page.$$eval('#failures > div', (items) => items.map((item) => item.textContent));
}

// Waits for a frame drawn at exactly this show time (as the program fed it
// to the scene, a float).
export function frameAt(page, showTime) {
    return page.waitForFunction((t) => ShowPage.lastFrame.showTime === t, { timeout: 60000 }, showTime);
}

export function framesDrawn(page) {
    return page.evaluate(() => ShowPage.lastFrame.frame);
}

export const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

// A music file as the show reads it: the little-endian count, the beat
// times, then stereo float frames (each frame's left sample its number + 1,
// the right one its negative, so none is silence).
export function musicFile(beats, frames, count = beats.length) {
    const bytes = Buffer.alloc(4 + 4 * beats.length + 8 * frames);
    bytes.writeUInt32LE(count, 0);
    beats.forEach((beat, i) => bytes.writeInt32LE(beat, 4 + 4 * i));
    for (let i = 0; i < frames; ++i) {
        bytes.writeFloatLE(i + 1, 4 + 4 * beats.length + 8 * i);
        bytes.writeFloatLE(-(i + 1), 4 + 4 * beats.length + 8 * i + 4);
    }
    return bytes;
}
