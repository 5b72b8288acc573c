// webbench WEB_DIR SHOTS [WxH...]: the show's web page in headless Chromium
// with its software WebGL 2 (or in the browser SHOW_BROWSER names: Firefox,
// in a window on the X display, full screen at the screen's size, its rows
// named "web page in firefox" and without the JavaScript heap, which only
// Chromium's driver reports), a whole show at each size (640x360 unless
// given), printed as bench/run-bench's rows; SHOTS is the camera's shots as
// `showbench shots` prints them (number, start, end: show seconds):
// - "web page": frame times by shot, as the show window's row: the time
//   from one frame to the next, the first frame with the picture left out;
// - "web page, CPU": the CPU time of all the browser's processes over the
//   show, by frame (against "show window, CPU", the steadier figure on a
//   loaded machine);
// - "web page, load to first frame": from the start of the page's load to the
//   frame after the first one with the picture (that one is on the screen
//   then), the show started by a click as soon as its program runs;
// - the page's files (music and font aside), and the browser's memory over a
//   whole show at the first size with the default music and with music of ten
//   minutes: the proportional set size of all its processes at its peak, and
//   the page's JavaScript heap and WebAssembly memory.

import { PageServer, browserName, launchBrowser, openShow, musicFile, sleep } from '../../web/headless.mjs';

import { execSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';

const [webDir, shotsFile, ...sizes] = process.argv.slice(2);
if (!webDir || !shotsFile) {
    console.error('usage: webbench WEB_DIR SHOTS [WxH...]');
    process.exit(2);
}
if (sizes.length === 0)
    sizes.push('640x360');

// Where each shot starts, in order; a show time before the first is in it.
const shotStarts = fs.readFileSync(shotsFile, 'utf8').trim().split('\n').map((line) => Number(line.split('\t')[1]));
const shotOf = (showTime) => Math.max(1, shotStarts.filter((start) => showTime >= start).length);

// The rows of a browser other than Chromium say which.
const named = (measure) => (browserName === 'chromium' ? measure : measure.replace('web page', `web page in ${browserName}`));

function row(measure, size, shot, values) {
    if (values.length === 0)
        return;
    const sorted = [...values].sort((a, b) => a - b);
    const n = sorted.length;
    const median = n % 2 ? sorted[(n - 1) / 2] : (sorted[n / 2 - 1] + sorted[n / 2]) / 2;
    console.log([named(measure), size, shot, median.toFixed(4), sorted[n - 1].toFixed(4), n].join('\t'));
}

function one(measure, size, value) {
    if (value === undefined)
        return;
    console.log([named(measure), size, 'all', value.toFixed(4), '-', 1].join('\t'));
}

const ticksPerSecond = Number(execSync('getconf CLK_TCK'));

// The browser and every process it started.
function browserProcesses(rootPid) {
    const parents = new Map();
    for (const entry of fs.readdirSync('/proc')) {
        if (!/^\d+$/.test(entry))
            continue;
        try {
            const stat = fs.readFileSync(`/proc/${entry}/stat`, 'utf8');
            parents.set(Number(entry), Number(stat.slice(stat.lastIndexOf(')') + 2).split(' ')[1]));
        } catch {
            // gone meanwhile
        }
    }
    const tree = new Set([rootPid]);
    for (let grew = true; grew;) {
        grew = false;
        for (const [pid, parent] of parents) {
            if (tree.has(parent) && !tree.has(pid)) {
                tree.add(pid);
                grew = true;
            }
        }
    }
    return tree;
}

// Their proportional set size, in MB.
function browserMemory(rootPid) {
    let kilobytes = 0;
    for (const pid of browserProcesses(rootPid)) {
        try {
            const rollup = fs.readFileSync(`/proc/${pid}/smaps_rollup`, 'utf8');
            kilobytes += Number(rollup.match(/^Pss:\s+(\d+)/m)[1]);
        } catch {
            // gone meanwhile
        }
    }
    return kilobytes / 1024;
}

// Their CPU time, user and system, in ms, of the processes alive now.
function browserCpu(rootPid) {
    let ticks = 0;
    for (const pid of browserProcesses(rootPid)) {
        try {
            const stat = fs.readFileSync(`/proc/${pid}/stat`, 'utf8');
            const fields = stat.slice(stat.lastIndexOf(')') + 2).split(' ');
            ticks += Number(fields[11]) + Number(fields[12]);
        } catch {
            // gone meanwhile
        }
    }
    return 1000 * ticks / ticksPerSecond;
}

// One whole show: the frames' times and show times, the load to the first
// frame, the memory's peaks, and the music's and the font's file names as the
// page's program has them. `files`: the page's files in place of the built ones.
async function wholeShow(browser, server, name, size, files = {}) {
    const [width, height] = size.split('x').map(Number);
    const { page } = await openShow(browser, server.page(name, files), { width, height });
    await page.evaluate(() => {
        const frameDrawn = ShowPage.frameDrawn.bind(ShowPage);
        ShowPage.frames = [];
        ShowPage.frameDrawn = (frame, showTime, pictured, ...rest) => {
            ShowPage.frames.push([performance.now(), showTime, pictured]);
            frameDrawn(frame, showTime, pictured, ...rest);
        };
    });
    await page.mouse.click(5, 5);
    await page.waitForFunction(() => ShowPage.lastFrame.pictured, { timeout: 60000 });
    const cpuAtStart = browserCpu(browser.process().pid);
    const framesAtStart = await page.evaluate(() => ShowPage.lastFrame.frame);
    const peaks = { browser: 0, heap: undefined, wasm: 0 };
    const client = browserName === 'chromium' ? await page.createCDPSession() : null;
    await client?.send('Performance.enable');
    for (;;) {
        peaks.browser = Math.max(peaks.browser, browserMemory(browser.process().pid));
        if (client) {
            const { metrics } = await client.send('Performance.getMetrics');
            const heap = metrics.find((metric) => metric.name === 'JSHeapUsedSize').value / 2 ** 20;
            peaks.heap = Math.max(peaks.heap ?? 0, heap);
        }
        peaks.wasm = Math.max(peaks.wasm, await page.evaluate(() => Module.HEAPU8.length / 2 ** 20));
        if (!(await page.evaluate(() => ShowPage.running))) {
            const framesAtEnd = await page.evaluate(() => ShowPage.lastFrame.frame);
            peaks.cpuPerFrame = (browserCpu(browser.process().pid) - cpuAtStart) / (framesAtEnd - framesAtStart);
            break;
        }
        await sleep(500);
    }
    const frames = await page.evaluate(() => ShowPage.frames);
    // The font is the one image the page loads.
    const names = await page.evaluate(() => ({
        music: ShowPage.music.layout.fileName,
        font: new URL(performance.getEntriesByType('resource').find((entry) => entry.initiatorType === 'img').name)
                .pathname.split('/').pop(),
    }));
    await page.close();
    const first = frames.findIndex(([, , pictured]) => pictured);
    return { frames: frames.slice(first + 1), firstFrame: frames[first + 1][0], peaks, names };
}

const server = new PageServer(webDir);
await server.start();
const browser = await launchBrowser();
const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'webbench-'));
try {
    let names;
    for (const size of sizes) {
        const { frames, firstFrame, peaks, ...show } = await wholeShow(browser, server, `show-${size}`, size);
        names = show.names;
        const byShot = new Map();
        for (let i = 1; i < frames.length; ++i) {
            const shot = shotOf(frames[i][1]);
            byShot.set(shot, [...(byShot.get(shot) ?? []), frames[i][0] - frames[i - 1][0]]);
        }
        for (const [shot, times] of [...byShot].sort(([a], [b]) => a - b))
            row('web page', size, shot, times);
        row('web page', size, 'all', [...byShot.values()].flat());
        one('web page, CPU', size, peaks.cpuPerFrame);
        row('web page, load to first frame', size, 'all', [firstFrame]);
        if (size === sizes[0]) {
            one(`web page, peak memory of the browser, MB, ${names.music} of 38 s`, size, peaks.browser);
            one(`web page, peak JavaScript heap, MB, ${names.music} of 38 s`, size, peaks.heap);
            one('web page, WebAssembly memory, MB', size, peaks.wasm);
        }
    }

    // Ten minutes of music (211 MB), written to a file that the server
    // streams as the browser takes it.
    const long = path.join(dir, names.music);
    const fd = fs.openSync(long, 'w');
    fs.writeSync(fd, musicFile([0, 500], 0));
    const second = musicFile([], 44100).subarray(4);
    for (let i = 0; i < 600; ++i)
        fs.writeSync(fd, second);
    fs.closeSync(fd);
    const { peaks } = await wholeShow(browser, server, 'long', sizes[0], { [names.music]: long });
    one(`web page, peak memory of the browser, MB, ${names.music} of 10 min`, sizes[0], peaks.browser);
    one(`web page, peak JavaScript heap, MB, ${names.music} of 10 min`, sizes[0], peaks.heap);

    let bytes = 0;
    for (const file of fs.readdirSync(webDir))
        if (file !== names.music && file !== names.font)
            bytes += fs.statSync(path.join(webDir, file)).size;
    one('web page, its files, KB (music and font aside)', '-', bytes / 1024);
} finally {
    fs.rmSync(dir, { recursive: true });
    await browser.close();
    await server.stop();
}
