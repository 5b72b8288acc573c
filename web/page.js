'use strict';

// The page around the show's program (show.js and show.wasm, built from the
// show's C++): its clock, its lines, full screen, the font image and the
// music. The program calls in through the global ShowPage.

// The music's frames kept ahead of what Web Audio plays: two seconds of
// stereo float, 706 KB. The music file is read from the network only as the
// player makes room, so a long file never sits in memory whole.
const musicAheadSeconds = 2;
// Fewer frames of room than this are not worth a message to the player.
const musicLeastFrames = 4096;
// A browser that has not started its sound this long after the click plays
// none: the show runs silent from then on, until the sound starts after all.
// ?soundwait=MS waits MS instead (at most 7 digits: a browser's timer takes
// a longer wait for none), for a test in a browser known to play no sound
// where it runs.
const soundStartsWithinMs = (() => {
    const asked = new URLSearchParams(location.search).get('soundwait');
    return asked !== null && /^\d{1,7}$/.test(asked) ? Number(asked) : 5000;
})();

// The music file streamed to an AudioWorklet (musicplayer.js): its head goes
// to the program's reader, the frames after it to the player as it plays
// them. A music file of its head alone has its sound in the compressed
// soundtrack beside it (the export writes it so), which is loaded whole and
// decoded by the browser before it plays through the same player. The audio clock comes back from the player, at the program's pace
// (open() hands over the music's layout and pace). The show timer starts
// when the music is heard, or as soon as it is known that none will be.
class MusicStream {
    constructor(page) {
        this.page = page;
        this.clock = 0;          // what the program's beat check reads: the clock heard by its last frame
        this.steps = [];         // the clock's steps to come, each with the page's time it is heard
        this.consumed = 0;       // frames the player has taken from its ring
        this.posted = 0;         // frames handed to the player
        this.stopped = false;
        this.reader = null;
        this.rest = null;        // bytes read past the head, not yet handed over
        this.context = null;
        this.node = null;
        this.wakeUp = null;      // resolves when the player reports
        this.headRead = null;    // resolves to whether the head is whole
        this.startedAt = null;   // on the page's clock: when the show timer started
        this.silentLine = null;  // the failure line of a sound still suspended
        this.soundtrack = null;  // the compressed soundtrack as it loads: a promise of its AudioBuffer
    }

    // layout: the program's fileName, soundtrackName and silentShow (the words
    // of a show without its music), and the music's sampleRate, bytesPerFrame,
    // framesPerCallback and clockPerCallback.
    open(layout) {
        this.layout = layout;
        this.aheadFrames = musicAheadSeconds * layout.sampleRate;
        this.headRead = this.readHead().catch((error) => {
            this.page.fail(`Cannot read ${this.layout.fileName} (${error.message})${this.layout.silentShow}`);
            return false;
        });
    }

    async readHead() {
        let response;
        try {
            // Past the HTTP cache: a copy of a long music file on disk serves
            // nobody, the page reads it as it plays.
            response = await fetch(this.layout.fileName, { cache: 'no-store' });
        } catch (error) {
            this.page.fail(`Cannot load ${this.layout.fileName} (${error.message})${this.layout.silentShow}`);
            return false;
        }
        if (!response.ok) {
            this.page.fail(`Cannot load ${this.layout.fileName} (HTTP ${response.status} ${response.statusText})${this.layout.silentShow}`);
            return false;
        }
        // A size given for compressed bytes is not the file's.
        const length = response.headers.get('Content-Length');
        const size = length !== null && !response.headers.get('Content-Encoding') ? Number(length) : -1;
        Module._show_musicBegins(size);
        this.reader = response.body.getReader();
        let headBytes = 0;
        for (;;) {
            const { done, value } = await this.reader.read();
            if (done) {
                Module._show_musicEnds();
                return Module._show_musicHeadRead() === 1;
            }
            const used = this.feedHead(value);
            if (used < 0) {
                this.reader.cancel();
                return false;
            }
            headBytes += used;
            if (Module._show_musicHeadRead() === 1) {
                this.rest = value.subarray(used);
                // A music file of its beat list alone: its sound is the
                // compressed soundtrack beside it, loaded whole from now on.
                if (await this.endsAfterHead(size, headBytes))
                    this.soundtrack = this.loadSoundtrack();
                return true;
            }
        }
    }

    async endsAfterHead(size, headBytes) {
        if (size >= 0)
            return size === headBytes;
        if (this.rest.length > 0)
            return false;
        const { done, value } = await this.reader.read();
        if (!done)
            this.rest = value;
        return done;
    }

    // The soundtrack, fetched with its progress on the page and decoded by
    // the browser at the music's rate: an AudioBuffer, or null when there is
    // none (said on the page: the show runs silent).
    async loadSoundtrack() {
        const name = this.layout.soundtrackName;
        const cannot = (what) => {
            this.page.fail(`${what}${this.layout.silentShow}`);
            this.page.loading(null);
            return null;
        };
        let bytes;
        try {
            const response = await fetch(name);
            if (!response.ok)
                return cannot(`Cannot load ${name} (HTTP ${response.status} ${response.statusText})`);
            const length = response.headers.get('Content-Length');
            const total = length !== null && !response.headers.get('Content-Encoding') ? Number(length) : 0;
            const chunks = [];
            let received = 0;
            const reader = response.body.getReader();
            this.page.loading(0, total);
            for (;;) {
                const { done, value } = await reader.read();
                if (done)
                    break;
                chunks.push(value);
                received += value.length;
                this.page.loading(received, total);
            }
            bytes = new Uint8Array(received);
            let at = 0;
            for (const chunk of chunks) {
                bytes.set(chunk, at);
                at += chunk.length;
            }
        } catch (error) {
            return cannot(`Cannot load ${name} (${error.message})`);
        }
        try {
            const decoder = new OfflineAudioContext(2, 1, this.layout.sampleRate);
            const decoded = await decoder.decodeAudioData(bytes.buffer);
            this.page.loading(null);
            return decoded;
        } catch (error) {
            return cannot(`Cannot decode ${name} (${error?.message ?? error})`);
        }
    }

    feedHead(bytes) {
        const at = Module._malloc(bytes.length);
        Module.HEAPU8.set(bytes, at);
        const used = Module._show_musicBytes(at, bytes.length);
        Module._free(at);
        return used;
    }

    // Inside the click or key that starts the show: browsers start sound only
    // there. Again at the end, the music from its start: a decoded soundtrack
    // is kept, a streamed music file is read again.
    play() {
        if (this.context)
            this.rewind();
        this.context = new AudioContext({ sampleRate: this.layout.sampleRate, latencyHint: 'interactive' });
        this.context.resume();
        this.started = this.headRead.then((whole) => {
            if (this.stopped)
                return;
            if (!whole) {
                this.startShowTimer(this.page.now()); // silent, said already
                return;
            }
            // Without a sound device a browser may keep the context suspended:
            // the show runs silent then, as the desktop's does without one.
            // The line stands only while the sound does not play: a context
            // that starts later takes it away, and its music starts the
            // show timer again.
            const context = this.context;
            setTimeout(() => {
                // Not for a context of a show that has ended since.
                if (this.stopped || this.context !== context || context.state === 'running')
                    return;
                this.silentLine = this.page.fail(
                    `The browser plays no sound (its audio is ${this.context.state})${this.layout.silentShow}`);
                this.startShowTimer(this.page.now());
            }, soundStartsWithinMs);
            this.context.addEventListener('statechange', () => {
                if (this.context.state === 'running' && this.silentLine) {
                    this.page.withdraw(this.silentLine);
                    this.silentLine = null;
                }
            });
            return this.context.audioWorklet.addModule('musicplayer.js').then(() => {
                if (this.stopped)
                    return;
                this.node = new AudioWorkletNode(this.context, 'music-player', {
                    numberOfInputs: 0,
                    numberOfOutputs: 1,
                    outputChannelCount: [2],
                    processorOptions: {
                        capacityFrames: this.aheadFrames,
                        framesPerCallback: this.layout.framesPerCallback,
                        clockPerCallback: this.layout.clockPerCallback,
                    },
                });
                this.node.port.onmessage = (event) => this.report(event.data);
                this.node.connect(this.context.destination);
                return this.soundtrack ? this.pumpSoundtrack() : this.pump();
            });
        }).catch((error) => {
            this.page.fail(`Cannot play ${this.layout.fileName} (${error.message})${this.layout.silentShow}`);
            this.startShowTimer(this.page.now());
        });
    }

    // The page's clock when the context's frame is heard: the output
    // timestamp ties the context's clock to the page's at the speaker.
    heardAt(frame) {
        if (this.page.clockIsHeld())
            return this.page.now();
        const seconds = frame / this.context.sampleRate;
        const { contextTime, performanceTime } = this.context.getOutputTimestamp();
        if (performanceTime > 0)
            return performanceTime + (seconds - contextTime) * 1000;
        // No sound out yet to tie the clocks: the frame leaves after the
        // context's latency.
        const latency = this.context.outputLatency || this.context.baseLatency || 0;
        return performance.now() + (seconds - this.context.currentTime + latency) * 1000;
    }

    // The show timer starts with the music, or where it is known that none
    // comes; music that comes after all starts it again, on the music.
    startShowTimer(ms, withMusic = false) {
        if (this.stopped || (!withMusic && this.startedAt !== null))
            return;
        this.startedAt = ms;
        Module._show_musicStarts(ms);
    }

    report(data) {
        if (data.startFrame !== undefined) {
            this.startShowTimer(this.heardAt(data.startFrame), true);
            return;
        }
        // The network fell behind the streamed music: the show waits with
        // it, from when the silence is heard, and goes on with it.
        if (data.starvedFrame !== undefined) {
            Module._show_musicWaits(this.heardAt(data.starvedFrame));
            this.page.waiting(true);
            return;
        }
        if (data.fedFrame !== undefined) {
            Module._show_musicGoesOn(this.heardAt(data.fedFrame));
            this.page.waiting(false);
            return;
        }
        this.steps.push({ clock: data.clock, at: this.heardAt(data.frame) });
        this.consumed = data.consumed;
        if (this.wakeUp) {
            this.wakeUp();
            this.wakeUp = null;
        }
    }

    // The audio clock as heard: the player's steps, each once the frame
    // that made it has reached the speaker, so that the beats fire on the
    // sound the listener hears rather than a render ahead of it.
    heardClock() {
        const now = this.page.now();
        while (this.steps.length > 0 && (this.page.clockIsHeld() || this.steps[0].at <= now))
            this.clock = this.steps.shift().clock;
        return this.clock;
    }

    waitForReport() {
        return new Promise((resolve) => { this.wakeUp = resolve; });
    }

    // Hands the player whole frames as it makes room for them, reading the
    // file on only then.
    async pump() {
        let carry = new Uint8Array(0); // the start of a frame split between reads
        let chunk = this.rest;
        this.rest = null;
        while (!this.stopped) {
            if (!chunk || chunk.length === 0) {
                let read;
                try {
                    read = await this.reader.read();
                } catch (error) {
                    // The music ends where the network left it; its clock runs
                    // on, as the desktop's does after the music.
                    if (!this.stopped) {
                        this.page.fail(`The music stopped: ${this.layout.fileName} could not be read on (${error.message})`);
                        this.node.port.postMessage({ end: true });
                    }
                    return;
                }
                const { done, value } = read;
                if (this.stopped)
                    return;
                if (done) {
                    // A trailing partial frame plays as far as it goes, silence after.
                    if (carry.length > 0)
                        this.post(carry, 1);
                    this.node.port.postMessage({ end: true });
                    return;
                }
                chunk = value;
            }
            const room = this.aheadFrames - (this.posted - this.consumed);
            const frames = Math.min(room, Math.floor((carry.length + chunk.length) / this.layout.bytesPerFrame));
            if (frames === 0 && room >= 1) {
                const joined = new Uint8Array(carry.length + chunk.length);
                joined.set(carry);
                joined.set(chunk, carry.length);
                carry = joined;
                chunk = null;
                continue;
            }
            if (room < musicLeastFrames) {
                await this.waitForReport();
                continue;
            }
            const fromChunk = frames * this.layout.bytesPerFrame - carry.length;
            const bytes = new Uint8Array(frames * this.layout.bytesPerFrame);
            bytes.set(carry);
            bytes.set(chunk.subarray(0, fromChunk), carry.length);
            this.post(bytes, frames);
            carry = new Uint8Array(0);
            chunk = chunk.subarray(fromChunk);
        }
    }

    // Hands the player the decoded soundtrack as it makes room, once it is
    // there: until then nothing plays and the show timer waits.
    async pumpSoundtrack() {
        const decoded = await this.soundtrack;
        if (this.stopped)
            return;
        if (!decoded) {
            this.startShowTimer(this.page.now()); // silent, said already
            return;
        }
        const left = decoded.getChannelData(0);
        const right = decoded.numberOfChannels > 1 ? decoded.getChannelData(1) : left;
        for (let at = 0; !this.stopped && at < decoded.length;) {
            const room = this.aheadFrames - (this.posted - this.consumed);
            if (room < musicLeastFrames) {
                await this.waitForReport();
                continue;
            }
            const frames = Math.min(room, decoded.length - at);
            const samples = new Float32Array(frames * 2);
            for (let i = 0; i < frames; ++i) {
                samples[2 * i] = left[at + i];
                samples[2 * i + 1] = right[at + i];
            }
            this.node.port.postMessage(samples.buffer, [samples.buffer]);
            this.posted += frames;
            at += frames;
        }
        if (!this.stopped)
            this.node.port.postMessage({ end: true });
    }

    post(bytes, frames) {
        const whole = new Uint8Array(frames * this.layout.bytesPerFrame);
        whole.set(bytes);
        this.node.port.postMessage(whole.buffer, [whole.buffer]);
        this.posted += frames;
    }

    rewind() {
        this.stopped = false;
        this.clock = 0;
        this.steps = [];
        this.consumed = 0;
        this.posted = 0;
        this.node = null;
        this.wakeUp = null;
        this.startedAt = null;
        if (this.silentLine)
            this.page.withdraw(this.silentLine);
        this.silentLine = null;
        if (!this.soundtrack)
            this.open(this.layout);
    }

    stop() {
        this.stopped = true;
        if (this.reader)
            this.reader.cancel().catch(() => {});
        if (this.node)
            this.node.disconnect();
        if (this.context)
            this.context.close();
        if (this.wakeUp)
            this.wakeUp();
    }
}

const ShowPage = {
    heldClock: new URLSearchParams(location.search).get('clock') === 'held',
    heldMs: 0,
    running: false,
    leavingFullScreen: false, // the end has asked the browser to leave full screen
    // The last frame drawn, for tests and measurements.
    lastFrame: { frame: 0, showTime: 0, pictured: false, held: false },
    // Images loaded into textures so far (the font's, again after a lost context).
    texturesLoaded: 0,

    now() { return this.heldClock ? this.heldMs : performance.now(); },
    clockIsHeld() { return this.heldClock; },
    // With ?clock=held the page's clock stands where a test puts it.
    setClock(ms) { this.heldMs = ms; },

    log(line) { console.log(line); },

    // One line on the page and the console; returns the page's line.
    fail(line) {
        console.error(line);
        const item = document.createElement('div');
        item.textContent = line;
        document.getElementById('failures').append(item);
        return item;
    },

    // A failure that is over: its line leaves the page, the console says so.
    withdraw(item) {
        console.warn(`Over: ${item.textContent}`);
        item.remove();
    },

    // The soundtrack's progress, bytes of total (0: unknown), or null once
    // it is over: a line while it loads, which says the show waits for it
    // once it has been started.
    loading(received, total) {
        const status = document.getElementById('status');
        if (received === null) {
            status.hidden = true;
            return;
        }
        const kb = (bytes) => Math.round(bytes / 1000);
        const amount = total > 0 ? `${kb(received)} of ${kb(total)} KB` : `${kb(received)} KB`;
        status.textContent = this.running ? `The show starts with its music: ${amount} loaded`
                                          : `Loading the music: ${amount}`;
        status.hidden = false;
    },

    // The streamed music has fallen behind: a line while the show waits.
    waiting(on) {
        const status = document.getElementById('status');
        status.textContent = 'The music is loading: the show waits for it';
        status.hidden = !on;
    },

    frameDrawn(frame, showTime, pictured, held) {
        this.lastFrame = { frame, showTime, pictured, held };
    },

    start() {
        this.running = true;
        document.getElementById('prompt').hidden = true;
        const page = document.documentElement;
        if (page.requestFullscreen)
            page.requestFullscreen().catch((error) => console.warn(`No full screen: ${error.message}`));
        this.music.play();
    },

    end() {
        this.running = false;
        this.music.stop();
        if (document.fullscreenElement) {
            this.leavingFullScreen = true;
            document.exitFullscreen().catch(() => { this.leavingFullScreen = false; });
        }
        const prompt = document.getElementById('prompt');
        prompt.textContent = 'The show has ended. Click, tap or press a key to see it again.';
        prompt.hidden = false;
    },

    loadTexture(texture, url) {
        const image = new Image();
        image.onload = () => {
            const gl = GLctx;
            gl.bindTexture(gl.TEXTURE_2D, texture);
            gl.texImage2D(gl.TEXTURE_2D, 0, gl.RGBA, gl.RGBA, gl.UNSIGNED_BYTE, image);
            gl.generateMipmap(gl.TEXTURE_2D);
            gl.bindTexture(gl.TEXTURE_2D, null);
            this.texturesLoaded += 1;
        };
        image.onerror = () => this.fail(`Cannot load ${url}: the show goes on without its font`);
        image.src = url;
    },
};
ShowPage.music = new MusicStream(ShowPage);

// A browser takes Escape in full screen to leave it, and the page never sees
// the key: leaving full screen while the show runs is the show's Escape.
// The end's own leaving may come only after a key has started the show
// again (the browser takes its time over it, all the more on a busy
// machine): that is not the new run's Escape, and the new run asks again.
document.addEventListener('fullscreenchange', () => {
    if (document.fullscreenElement)
        return;
    if (ShowPage.leavingFullScreen) {
        ShowPage.leavingFullScreen = false;
        if (ShowPage.running)
            document.documentElement.requestFullscreen?.().catch(() => {});
    } else if (ShowPage.running) {
        Module._show_leftFullScreen();
    }
});

var Module = {
    // Said once: emscripten reports an abort again as it unwinds.
    aborted: false,
    onAbort(what) {
        if (!this.aborted)
            ShowPage.fail(`The show's program stopped: ${what}`);
        this.aborted = true;
    },
};
