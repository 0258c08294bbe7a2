// The page: a picture in, the programs run on it with the settings of the
// controls (programs.js), the resized picture and the machine's view drawn,
// the screen file and the view offered for download.
'use strict';

(function () {
    const $ = (id) => document.getElementById(id);
    const form = $('settings');
    const message = $('message');

    // The modules' bytes: written into the page as base64 when it is one
    // file, else fetched from beside it.
    function wasmBytes(program) {
        const embedded = document.getElementById(program + '-wasm');
        if (embedded) {
            const text = atob(embedded.textContent.trim());
            const bytes = new Uint8Array(text.length);
            for (let i = 0; i < text.length; ++i) bytes[i] = text.charCodeAt(i);
            return bytes;
        }
        // A page opened from disk may not fetch: it needs http, or the single file.
        const unreachable = 'cannot load ' + program + '.wasm: serve this folder over http, ' +
                            'or open msx2plus-picture-tools.html instead';
        return fetch(program + '.wasm').then(
            (response) => {
                if (!response.ok) throw new Error(unreachable);
                return response.arrayBuffer();
            },
            () => {
                throw new Error(unreachable);
            });
    }

    const runner = Programs.createRunner({
        tessalo: { factory: createTessalo, wasm: () => wasmBytes('tessalo') },
        pravun: { factory: createPravun, wasm: () => wasmBytes('pravun') },
    });

    // The picture chosen, the runs already made on it, and the last results.
    let picture = null; // { name, bytes }
    let cache = new Map();
    let shown = null; // { job, files } of the last finished job
    let ticket = 0; // the latest redraw; older ones drop their results

    function settings() {
        const values = {};
        for (const name of Object.keys(Programs.defaultSettings)) values[name] = form.elements[name].value;
        return values;
    }

    // Every choice the programs' words cannot give yet is shown but disabled.
    function offerWhatRuns() {
        for (const name of Object.keys(Programs.defaultSettings)) {
            for (const option of form.elements[name].options) {
                const trial = Object.assign({}, Programs.defaultSettings, { [name]: option.value });
                if (Programs.jobFor(trial, 'picture.bmp').refusal) {
                    option.disabled = true;
                    option.textContent += ' (not yet)';
                }
            }
        }
        const best = !form.elements.encoder.querySelector('option[value="best"]').disabled;
        form.elements.metric.disabled = !best || form.elements.encoder.value !== 'best';
    }

    function draw(canvas, bytes) {
        const pixels = Programs.bmpPixels(bytes);
        canvas.width = pixels.width;
        canvas.height = pixels.height;
        canvas.getContext('2d').putImageData(
            new ImageData(pixels.rgba, pixels.width, pixels.height), 0, 0);
        scaleViews();
    }

    function scaleViews() {
        const scale = Number(form.elements.scale.value);
        for (const canvas of [$('original'), $('machine')]) canvas.style.width = canvas.width * scale + 'px';
    }

    function clearViews() {
        for (const canvas of [$('original'), $('machine')])
            canvas.getContext('2d').clearRect(0, 0, canvas.width, canvas.height);
    }

    function showConsole(job, results) {
        const decoder = new TextDecoder();
        $('console').textContent = results
            .map((result, i) => '$ ' + Programs.commandLine(job.runs[i]) + '\n' +
                 decoder.decode(result.stdout).replace(/\r\n/g, '\n') +
                 decoder.decode(result.stderr).replace(/\r\n/g, '\n'))
            .join('\n');
    }

    function finish(state) {
        document.body.dataset.state = state;
        document.body.dataset.runs = String(Number(document.body.dataset.runs || 0) + 1);
        document.body.removeAttribute('aria-busy');
    }

    // Runs the job of the current settings on the picture and shows the outcome.
    async function redraw() {
        if (!picture) return;
        const mine = ++ticket;
        const job = Programs.jobFor(settings(), picture.name);
        document.body.setAttribute('aria-busy', 'true');
        document.body.dataset.state = 'busy';
        $('downloadScreen').textContent = 'Download ' + (job.screenFile || 'PICTURE.SCC');
        if (job.refusal) {
            message.textContent = job.refusal;
            finish('failed');
            return;
        }
        $('commands').textContent = job.runs.filter((run) => !run.forView).map(Programs.commandLine).join('\n');
        const started = performance.now();
        let outcome;
        try {
            outcome = await runner.runJob(job, new Map([[job.input, picture.bytes]]), cache);
        } catch (error) {
            outcome = { results: [], message: String(error && error.message ? error.message : error) };
        }
        if (mine !== ticket) return;
        const took = performance.now() - started;
        showConsole(job, outcome.results);
        if (outcome.message !== undefined) {
            shown = null;
            message.textContent = outcome.message;
            $('timing').textContent = '';
            clearViews();
            $('downloadScreen').disabled = true;
            $('downloadPreview').disabled = true;
            finish('failed');
            return;
        }
        shown = { job, files: outcome.files };
        message.textContent = '';
        draw($('original'), outcome.files.get(job.resized));
        draw($('machine'), outcome.files.get(job.view));
        $('downloadScreen').disabled = false;
        $('downloadPreview').disabled = false;
        $('timing').textContent = 'Converted in ' + Math.round(took) + ' ms.';
        finish('ready');
    }

    async function open(file) {
        picture = { name: file.name, bytes: new Uint8Array(await file.arrayBuffer()) };
        cache = new Map();
        await redraw();
    }

    function download(blob, name) {
        const link = document.createElement('a');
        link.href = URL.createObjectURL(blob);
        link.download = name;
        document.body.append(link);
        link.click();
        link.remove();
        setTimeout(() => URL.revokeObjectURL(link.href), 10000);
    }

    $('picture').addEventListener('change', (event) => {
        if (event.target.files.length > 0) open(event.target.files[0]);
    });
    const drop = $('drop');
    drop.addEventListener('dragover', (event) => {
        event.preventDefault();
        drop.classList.add('over');
    });
    drop.addEventListener('dragleave', () => drop.classList.remove('over'));
    drop.addEventListener('drop', (event) => {
        event.preventDefault();
        drop.classList.remove('over');
        if (event.dataTransfer.files.length > 0) open(event.dataTransfer.files[0]);
    });
    form.addEventListener('change', (event) => {
        if (event.target.name === 'scale') {
            scaleViews();
            return;
        }
        if (event.target.name === 'encoder')
            form.elements.metric.disabled = event.target.value !== 'best';
        redraw();
    });
    form.addEventListener('submit', (event) => event.preventDefault());
    $('downloadScreen').addEventListener('click', () => {
        if (!shown) return;
        const name = shown.job.screenFile;
        download(new Blob([shown.files.get(name)], { type: 'application/octet-stream' }), name);
    });
    $('downloadPreview').addEventListener('click', () => {
        if (!shown) return;
        $('machine').toBlob((blob) => download(blob, 'PICTURE-view.png'), 'image/png');
    });

    runner.prepare().catch(() => {});
    offerWhatRuns();
    scaleViews();
    document.body.dataset.state = 'empty';
})();
