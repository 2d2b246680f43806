// ONNX Runtime's run of our encoder's ONNX graph (written by bench_asr_generate_models from the
// same state dict as our bundles), for bench/recogniser-real-size.sh:
//   node bench/asr/onnx-runtime-peer.js <node_modules> <Encoder.onnx> <label> <runs> \
//        [--check <folder with mel.f32, encoder.f32> <tolerance>] [<seconds>:<frames>[+<frames>...]]...
// The session runs on 8 intra-op threads (ONNX Runtime's own pool, its default spinning), every
// graph optimisation on. --check first runs the reference input through the graph, prints the
// largest |ours - ONNX Runtime| and stops with status 1 when it is above the tolerance. Then for
// each length the windows of our recogniser's encoder calls (their mel frame counts) run one after
// the other on seeded input: 2 warm-up runs, `runs` timed ones. Prints the same lines as
// bench_asr_real_size for scripts to collect: "summary <label> <seconds> <median s> <RTFx median>
// <cpu/wall> <load average> <idle RSS GB> <peak RSS GB> <median s> <cpu/wall>" (the encoder is the
// whole run here, so the last two fields, the encoder's own, repeat the run's).
'use strict';
const fs = require('fs');
const os = require('os');
const path = require('path');

const [modules, modelFile, label, runsText, ...rest] = process.argv.slice(2);
if (!modules || !modelFile || !label || !(Number(runsText) >= 1)) {
  console.error('usage: onnx-runtime-peer.js <node_modules> <Encoder.onnx> <label> <runs> [--check <folder> <tolerance>] [<seconds>:<frames>[+<frames>...]]...');
  process.exit(2);
}
const ort = require(path.join(path.resolve(modules), 'onnxruntime-node'));
const runs = Number(runsText);
const warmUps = 2;
const mels = 128;

let check = null;
const lengths = [];
for (let i = 0; i < rest.length; ++i) {
  if (rest[i] === '--check') {
    check = {folder: rest[i + 1], tolerance: Number(rest[i + 2])};
    i += 2;
  } else {
    const [seconds, frames] = rest[i].split(':');
    lengths.push({seconds: Number(seconds), windows: frames.split('+').map(Number)});
  }
}

function readFloats(file) {
  const bytes = fs.readFileSync(file);
  return new Float32Array(bytes.buffer, bytes.byteOffset, bytes.length / 4);
}

// Seeded numbers spread as normalised features.
function seededMel(frames, seed) {
  const data = new Float32Array(mels * frames);
  let state = seed >>> 0;
  for (let i = 0; i < data.length; ++i) {
    let sum = 0;
    for (let k = 0; k < 4; ++k) {
      state = (Math.imul(state, 1664525) + 1013904223) >>> 0;
      sum += (state >>> 8) / 16777216 - 0.5;
    }
    data[i] = sum * 1.732;
  }
  return new ort.Tensor('float32', data, [1, mels, frames]);
}

function median(values) {
  const v = [...values].sort((a, b) => a - b);
  const n = v.length;
  return n % 2 ? v[(n - 1) / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

const seconds = (start) => Number(process.hrtime.bigint() - start) / 1e9;
const cpuSeconds = () => {
  const u = process.cpuUsage();
  return (u.user + u.system) / 1e6;
};

async function main() {
  const loadStart = process.hrtime.bigint();
  const session = await ort.InferenceSession.create(modelFile, {
    executionProviders: ['cpu'],
    intraOpNumThreads: 8,
    interOpNumThreads: 1,
    executionMode: 'sequential',
    graphOptimizationLevel: 'all',
  });
  console.log(`\n${label}: ${modelFile}\nONNX Runtime ${ort.env.versions.node}, 8 intra-op threads`);
  console.log(`load: ${seconds(loadStart).toFixed(2)} s, resident ${(process.memoryUsage().rss / 2 ** 30).toFixed(2)} GB`);

  if (check) {
    const mel = readFloats(path.join(check.folder, 'mel.f32'));
    const expected = readFloats(path.join(check.folder, 'encoder.f32'));
    const frames = mel.length / mels;
    const out = (await session.run({mel: new ort.Tensor('float32', mel, [1, mels, frames])})).encoder;
    if (out.data.length !== expected.length) {
      console.error(`${label}: the graph gives ${out.dims.join('×')} values where ours gives ${expected.length}`);
      process.exit(1);
    }
    let worst = 0, largest = 0;
    for (let i = 0; i < expected.length; ++i) {
      worst = Math.max(worst, Math.abs(out.data[i] - expected[i]));
      largest = Math.max(largest, Math.abs(expected[i]));
    }
    console.log(`check ${label}: max |ours - ONNX Runtime| = ${worst.toExponential(3)} over [${out.dims.join(', ')}] ` +
                `(largest |ours| ${largest.toFixed(3)}, tolerance ${check.tolerance})`);
    if (!(worst <= check.tolerance)) {
      console.error(`${label}: ONNX Runtime's encoder differs from ours by ${worst} (tolerance ${check.tolerance}); not timed`);
      process.exit(1);
    }
  }

  console.log(`${'audio'.padEnd(6)} ${'runs'.padStart(5)} ${'RTFx median'.padStart(11)} ${'s median'.padStart(9)} ` +
              `${'cpu/wall'.padStart(8)} ${'load'.padStart(5)}  windows (mel frames)`);
  const summaries = [];
  for (const length of lengths) {
    const inputs = length.windows.map((frames, i) => seededMel(frames, 7 + i));
    const times = [];
    let wall = 0, cpu = 0;
    for (let r = 0; r < warmUps + runs; ++r) {
      const cpuBefore = cpuSeconds();
      const start = process.hrtime.bigint();
      for (const mel of inputs) await session.run({mel});
      const elapsed = seconds(start);
      if (r < warmUps) continue;
      times.push(elapsed);
      wall += elapsed;
      cpu += cpuSeconds() - cpuBefore;
    }
    const load = os.loadavg()[0];
    const m = median(times);
    console.log(`${(length.seconds.toFixed(0) + ' s').padStart(6)} ${String(runs).padStart(5)} ${(length.seconds / m).toFixed(1).padStart(11)} ` +
                `${m.toFixed(3).padStart(9)} ${(cpu / wall).toFixed(2).padStart(8)} ${load.toFixed(1).padStart(5)}  ${length.windows.join('+')}`);
    summaries.push({seconds: length.seconds, median: m, busy: cpu / wall, load});
  }
  const idle = process.memoryUsage().rss / 2 ** 30;
  const peak = process.resourceUsage().maxRSS / 2 ** 20;
  console.log(`\nRSS idle (model loaded, after the runs): ${idle.toFixed(2)} GB, peak: ${peak.toFixed(2)} GB`);
  for (const s of summaries) {
    console.log(`summary ${label} ${s.seconds.toFixed(0)} ${s.median.toFixed(3)} ${(s.seconds / s.median).toFixed(1)} ` +
                `${s.busy.toFixed(2)} ${s.load.toFixed(1)} ${idle.toFixed(2)} ${peak.toFixed(2)} ${s.median.toFixed(3)} ${s.busy.toFixed(2)}`);
  }
}

main().catch((e) => {
  console.error(`${label}: ${e.message || e}`);
  process.exit(1);
});
