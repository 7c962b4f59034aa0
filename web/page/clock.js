// SPDX-License-Identifier: GPL-3.0-or-later
// The generation clock, apart from the drawing: it only runs generations, at a number per
// second or as fast as the machine allows; the map view shows whatever the latest is.

// The window's clock ticks every 10 ms: 100 generations a second.
export const WindowRate = 100;
export const Fastest = Infinity;

// While running, the map is drawn at most this often: thirty pictures a second show the
// enclaves forming as well as sixty, at half the cost to put on screen. The clock runs the
// generations due as often, not every 10 ms: what is not shown need not be computed sooner.
export const RunningFrameMs = 1000 / 30;
const TickMs = RunningFrameMs;
// At full speed, generations run in slices of this long, so the page still answers.
const SliceMs = 8;
// Generations per call inside a slice: few enough to keep a slice near its length.
const GenerationsPerCall = 8;
// After a stall (a hidden tab, a slow machine) the clock starts counting afresh rather than
// catching up with a burst of this many seconds or more.
const MaxCatchUpSeconds = 0.25;

export class GenerationClock {
    // `advance(n)` runs n generations and returns how many ran.
    constructor(advance) {
        this.advance = advance;
        this.rate = WindowRate;
        this.running = false;
        this.timer = null;
        this.channel = new MessageChannel();
        this.channel.port1.onmessage = () => this.slice();
    }

    setRate(rate) {
        this.rate = rate;
        if (this.running)
            this.restart();
    }

    pause() {
        this.running = false;
        this.stop();
    }

    resume() {
        if (this.running)
            return;
        this.running = true;
        this.restart();
    }

    restart() {
        this.stop();
        this.start = performance.now();
        this.done = 0;
        if (this.rate === Fastest) {
            this.channel.port2.postMessage(null);
        } else {
            this.timer = setInterval(() => this.tick(), TickMs);
        }
    }

    stop() {
        clearInterval(this.timer);
        this.timer = null;
    }

    // The generations due by now at the chosen rate.
    tick() {
        const due = Math.floor(((performance.now() - this.start) / 1000) * this.rate) - this.done;
        if (due > Math.max(1, this.rate * MaxCatchUpSeconds)) {
            this.start = performance.now();
            this.done = 0;
            this.advance(1);
            return;
        }
        if (due > 0)
            this.done += this.advance(due);
    }

    // As many generations as fit in a slice, then a turn for everything else.
    slice() {
        if (!this.running || this.rate !== Fastest)
            return;
        const end = performance.now() + SliceMs;
        do {
            if (this.advance(GenerationsPerCall) === 0) {
                this.pause();
                return;
            }
        } while (performance.now() < end);
        this.channel.port2.postMessage(null);
    }
}
