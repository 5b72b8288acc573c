'use strict';

// Plays the music's frames as the page hands them over, from a ring of a
// fixed size, and reports the audio clock: its step for every callback's
// worth of frames played, as the desktop's audio callback counts its
// buffers, with the context's frame at which it moved, so that the page
// moves it when that frame is heard. It also reports the context's frame at
// which the music starts (the first frame that counts), so that the page
// starts the show timer with it. A frame the page
// has not delivered yet (the network is slow) is played as silence and not
// counted, so the beats stay on the music, and the page is told, so that
// the show timer waits too; after the music's end every frame
// counts, as on the desktop. The ring's size and the clock's pace come from
// the page, which has them from the show's program.

class MusicPlayer extends AudioWorkletProcessor {
    constructor(options) {
        super();
        this.capacity = options.processorOptions.capacityFrames;
        this.framesPerCallback = options.processorOptions.framesPerCallback;
        this.clockPerCallback = options.processorOptions.clockPerCallback;
        this.ring = new Float32Array(this.capacity * 2);
        this.readFrame = 0;   // frames taken from the ring, ever
        this.writeFrame = 0;  // frames put in, ever
        this.played = 0;      // frames that count for the clock
        this.stepAt = 0;      // the context's frame after the last that moved the clock
        this.starved = false; // the music has run out of frames before its end
        this.ended = false;
        this.port.onmessage = (event) => {
            if (event.data instanceof ArrayBuffer)
                this.write(new Float32Array(event.data));
            else if (event.data.end)
                this.ended = true;
        };
    }

    write(samples) {
        const frames = samples.length / 2;
        for (let i = 0; i < frames; ++i) {
            const at = ((this.writeFrame + i) % this.capacity) * 2;
            this.ring[at] = samples[2 * i];
            this.ring[at + 1] = samples[2 * i + 1];
        }
        this.writeFrame += frames;
    }

    clock() {
        return Math.floor(this.played / this.framesPerCallback) * this.clockPerCallback;
    }

    // A frame that counts for the clock, the context's frame `frame` played.
    count(frame) {
        ++this.played;
        if (this.played % this.framesPerCallback === 0)
            this.stepAt = frame + 1;
    }

    process(inputs, outputs) {
        const [left, right] = outputs[0];
        const before = this.clock();
        const playedBefore = this.played;
        for (let i = 0; i < left.length; ++i) {
            if (this.readFrame < this.writeFrame) {
                const at = (this.readFrame % this.capacity) * 2;
                left[i] = this.ring[at];
                if (right)
                    right[i] = this.ring[at + 1];
                ++this.readFrame;
                this.count(currentFrame + i);
            } else {
                left[i] = 0;
                if (right)
                    right[i] = 0;
                if (this.ended)
                    this.count(currentFrame + i);
            }
            // The network has fallen behind the music, or caught up again:
            // the page holds the show timer meanwhile.
            const starved = this.played > 0 && !this.ended && this.readFrame >= this.writeFrame;
            if (starved !== this.starved) {
                this.starved = starved;
                this.port.postMessage(starved ? { starvedFrame: currentFrame + i } : { fedFrame: currentFrame + i });
            }
            if (playedBefore === 0 && this.played === 1)
                this.port.postMessage({ startFrame: currentFrame + i });
        }
        const clock = this.clock();
        if (clock !== before)
            this.port.postMessage({ clock, consumed: this.readFrame, frame: this.stepAt });
        return true;
    }
}

registerProcessor('music-player', MusicPlayer);
