'use strict';
// The audio thread's side of the show: 'vemora-ring' plays the program's sound ring from shared
// memory; 'vemora-tap' (tests only) records the non-silent frames that reached it.

class RingPlayer extends AudioWorkletProcessor {
  constructor(options) {
    super();
    // The page link's word offsets come from page.js.
    const { memory, link, layout } = options.processorOptions;
    this.memory = memory;
    this.at = layout;
    this.link = new Int32Array(memory, link, layout.underruns + 1);
  }

  process(inputs, outputs) {
    const [left, right] = outputs[0];
    const link = this.link, at = this.at;
    // Paused, the ring keeps what it holds and the outputs stay silent.
    if (Atomics.load(link, at.soundPlaying) === 0) return true;
    const written = Atomics.load(link, at.soundWritten);
    const read = Atomics.load(link, at.soundRead);
    const available = (written - read) >>> 0;
    const count = Math.min(available, left.length);
    if (count > 0) {
      const capacity = link[at.soundCapacity] >>> 0;
      const samples = new Int16Array(this.memory, link[at.soundSamples], capacity * 2);
      let frame = (read >>> 0) % capacity;
      for (let i = 0; i < count; i++) {
        left[i] = samples[frame * 2] / 32768;
        right[i] = samples[frame * 2 + 1] / 32768;
        if (++frame === capacity) frame = 0;
      }
      Atomics.store(link, at.soundRead, (read + count) | 0);
      Atomics.notify(link, at.soundRead);
    }
    // The outputs start as silence; a quantum left short is an underrun.
    if (count < left.length) Atomics.add(link, at.underruns, 1);
    return true;
  }
}

class Tap extends AudioWorkletProcessor {
  constructor(options) {
    super();
    const { record } = options.processorOptions;
    this.count = new Int32Array(record, 0, 1);       // frames recorded
    this.frames = new Int16Array(record, 8);         // left, right, ...
  }

  process(inputs, outputs) {
    const input = inputs[0];
    const output = outputs[0];
    if (input.length < 2) return true;
    const [left, right] = input;
    output[0].set(left);
    output[1].set(right);
    let n = this.count[0];
    for (let i = 0; i < left.length && (n + 1) * 2 <= this.frames.length; i++) {
      const l = Math.round(left[i] * 32768), r = Math.round(right[i] * 32768);
      if (l === 0 && r === 0) continue;
      this.frames[n * 2] = l;
      this.frames[n * 2 + 1] = r;
      n++;
    }
    Atomics.store(this.count, 0, n);
    return true;
  }
}

registerProcessor('vemora-ring', RingPlayer);
registerProcessor('vemora-tap', Tap);
