// The two face networks in ONNX Runtime, on THREADS threads (default one), for
// comparison with frame_stages_bench; compare-onnxruntime beside it runs both
// in turn under the same taskset.
// Prints one JSON object per line, as the benchmarks do. ONNX Runtime is not a
// dependency of the application; install it in a folder of its own:
//   npm install --prefix ~/.cache/faciward-ort --ignore-scripts onnxruntime-node
//   NODE_PATH=~/.cache/faciward-ort/node_modules taskset -c 2 node onnxruntime-reference.js MODEL_DIR [THREADS]
const ort = require('onnxruntime-node');

function print(metric, value, unit) {
    console.log(JSON.stringify({bench: 'onnxruntime', metric, value: Number(value.toPrecision(6)), unit}));
}

async function main() {
    const dir = process.argv[2] || 'models';
    const threads = Number(process.argv[3] || 1);
    const networks = [
        ['detector', 'fr_detect.onnx', [1, 3, 240, 320], 200],
        ['embedding', 'fr_feature.onnx', [1, 3, 112, 112], 100],
    ];
    const median = (times) => times.sort((a, b) => a - b)[times.length >> 1];
    const timed = async (session, feeds) => {
        const start = process.hrtime.bigint();
        await session.run(feeds);
        return Number(process.hrtime.bigint() - start) / 1e6;
    };
    const loaded = [];
    for (const [name, file, shape, runs] of networks) {
        const start = process.hrtime.bigint();
        const session = await ort.InferenceSession.create(`${dir}/${file}`, {
            intraOpNumThreads: threads, interOpNumThreads: 1, executionMode: 'sequential'});
        print(`load_${name}_ms`, Number(process.hrtime.bigint() - start) / 1e6, 'ms');
        const size = shape.reduce((a, b) => a * b);
        const data = new Float32Array(size).map((_, i) => Math.sin(i) * 0.9);
        const feeds = {[session.inputNames[0]]: new ort.Tensor('float32', data, shape)};
        for (let i = 0; i < 10; ++i)
            await session.run(feeds);
        // Back to back: the network's weights stay in the caches.
        const times = [];
        for (let i = 0; i < runs; ++i)
            times.push(await timed(session, feeds));
        print(`${name}_network_ms_median`, median(times), 'ms');
        loaded.push([name, session, feeds]);
    }
    // In turn, as a frame runs them: each network after the other, which
    // pushes its weights out of the caches (frame_stages_bench's
    // detector_network and embedding_network are timed this way).
    const inTurn = loaded.map(() => []);
    for (let i = 0; i < 100; ++i) {
        for (let n = 0; n < loaded.length; ++n)
            inTurn[n].push(await timed(loaded[n][1], loaded[n][2]));
    }
    loaded.forEach(([name], n) => print(`${name}_network_in_turn_ms_median`, median(inTurn[n]), 'ms'));
}

main().catch((e) => { console.error(e.message); process.exit(1); });
