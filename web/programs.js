// Runs tessalo and pravun, built as WebAssembly modules, exactly as the
// command line runs them: the same words, files in the instance's in-memory
// file system, the console's bytes and the exit status collected. Also turns
// the page's settings into those words (jobFor), and reads the plain 24-bit
// BMPs the programs write so that the page can draw them.
//
// A classic script: in a browser it defines the global Programs; under Node
// it is required. It needs no DOM.
'use strict';

(function (exports) {
    // ---- the page's settings as the programs' words -------------------------------

    // The settings of the page's controls, each at the command line's default:
    // screen '12' | '10', fit 'fill' | 'fit', pixelAspect '8:7' | '61:44' |
    // '1:1', encoder 'best' | 'classic', dither 'diffuse' | 'none', metric
    // 'rgb' | 'lab'.
    const defaultSettings = Object.freeze({
        screen: '12',
        fit: 'fill',
        pixelAspect: '8:7',
        encoder: 'best',
        dither: 'diffuse',
        metric: 'rgb',
    });

    // The only place that knows which words do what the controls ask.
    // inputName is the picture's file name (BMP, PNG or JPEG: the programs
    // read all three). Gives the runs in order, each with the files it reads
    // and writes, and the names of the input as a word, the resized picture,
    // the screen file and the machine's view. The first run is the
    // conversion, tessalo's one-command form with only the options that
    // differ from its defaults; the second (forView) only resizes the
    // picture with pravun for the page's "original" view.
    function jobFor(settings, inputName) {
        const screenFile = settings.screen === '12' ? 'PICTURE.SCC' : 'PICTURE.SCA';
        // A name that starts with "-" would read as an option word.
        const input = inputName.startsWith('-') ? './' + inputName : inputName;
        const stem = input.replace(/\.[^./]*$/, '') || 'picture';
        const resized = stem + '-screen.bmp';
        const view = stem + '-view.bmp';

        // --screen starts the form, so it is always written.
        const options = ['--screen', settings.screen];
        if (settings.fit !== defaultSettings.fit) options.push('--' + settings.fit);
        for (const [name, word] of [['pixelAspect', '--pixel-aspect'], ['encoder', '--encoder'],
                                    ['dither', '--dither'], ['metric', '--metric']]) {
            // The colour error is the best encoder's: the page leaves it out otherwise.
            if (name === 'metric' && settings.encoder !== 'best') continue;
            if (settings[name] !== defaultSettings[name]) options.push(word, settings[name]);
        }
        const convert = {
            program: 'tessalo',
            words: [...options, '--preview', view, input, screenFile],
            stdin: '',
            inputs: [input],
            outputs: [screenFile, view],
        };

        // pravun: the 256 x 212 screen filled (/t cuts the overhang) or the
        // whole picture fitted, for the pixel shape (/a: percent as wide as
        // tall), with the exact mean (/e).
        // 8/7 and 61/44 are 114 and 139 percent, to the nearest percent.
        const shapes = { '8:7': ['/a114'], '61:44': ['/a139'], '1:1': [] };
        const resizeOptions = ['/m256x212']
            .concat(settings.fit === 'fill' ? ['/t'] : [])
            .concat(shapes[settings.pixelAspect]);
        // After three option words pravun asks for the output name.
        const resize =
            resizeOptions.length < 3
                ? { words: [input, ...resizeOptions, '/e', resized], stdin: '' }
                : { words: [input, ...resizeOptions, '/e'], stdin: resized + '\n' };
        const original = { program: 'pravun', ...resize, inputs: [input], outputs: [resized], forView: true };
        return { input, runs: [convert, original], resized, screenFile, view };
    }

    // ---- command lines as a user types them ------------------------------------------

    // A word for a POSIX shell: as it is when it holds only safe characters,
    // else in single quotes.
    function shellWord(word) {
        if (/^[A-Za-z0-9._\-/+,:=@%]+$/.test(word)) return word;
        return "'" + word.replace(/'/g, "'\\''") + "'";
    }

    // The run as one command line; an answer on standard input is echoed in.
    function commandLine(run) {
        const command = [run.program, ...run.words].map(shellWord).join(' ');
        if (run.stdin === '') return command;
        return 'echo ' + shellWord(run.stdin.replace(/\n$/, '')) + ' | ' + command;
    }

    // ---- running the programs ----------------------------------------------------------

    // sources: { tessalo: { factory, wasm }, pravun: { factory, wasm } }, the
    // factory from the program's Emscripten script and wasm a function that
    // gives its module's bytes (or a promise of them), called at the first
    // run. Each module is compiled once; every run instantiates it afresh, so
    // that no run sees what an earlier one left.
    function createRunner(sources) {
        const compiled = {};
        function moduleOf(program) {
            if (!compiled[program])
                compiled[program] = Promise.resolve()
                    .then(() => sources[program].wasm())
                    .then((bytes) => WebAssembly.compile(bytes));
            return compiled[program];
        }

        // Runs the program with the words; files is a Map of name to bytes,
        // of which the names in inputs are given to it. Gives the exit status,
        // what it printed on standard output and error, and the files named in
        // outputs that exist after the run.
        async function run(program, words, files, stdin, inputs, outputs) {
            const module = await moduleOf(program);
            const input = new TextEncoder().encode(stdin || '');
            let readAt = 0;
            const stdout = [];
            const stderr = [];
            const instance = await sources[program].factory({
                noInitialRun: true,
                thisProgram: program,
                instantiateWasm(imports, receive) {
                    WebAssembly.instantiate(module, imports).then((made) => receive(made));
                    return {};
                },
                stdin: () => (readAt < input.length ? input[readAt++] : null),
                stdout: (byte) => stdout.push(byte),
                stderr: (byte) => stderr.push(byte),
                // Ending the program must not end Node or the page.
                quit: (status, thrown) => {
                    throw thrown;
                },
            });
            instance._umask(0o022);
            instance.FS.mkdir('/work');
            instance.FS.chdir('/work');
            for (const name of inputs) if (files.has(name)) instance.FS.writeFile(name, files.get(name));
            const status = instance.callMain(words);
            const written = new Map();
            for (const name of outputs) {
                if (instance.FS.analyzePath(name).exists) written.set(name, instance.FS.readFile(name));
            }
            return {
                status,
                stdout: Uint8Array.from(stdout),
                stderr: Uint8Array.from(stderr),
                files: written,
            };
        }

        // Runs the job's programs in order, each on the files the earlier ones
        // wrote, and stops at the first that fails. A run is taken from the
        // cache, which belongs to one input picture, when it and every run
        // before it had the same program, words and answers: its input files
        // then hold the same bytes, whatever their names. Gives { files,
        // results } and, after a failure, the failed run and its message.
        async function runJob(job, files, cache) {
            const all = new Map(files);
            const results = [];
            const chain = [];
            for (const step of job.runs) {
                chain.push([step.program, step.words, step.stdin]);
                const key = JSON.stringify(chain);
                let result = cache ? cache.get(key) : undefined;
                if (!result) {
                    result = await run(step.program, step.words, all, step.stdin, step.inputs,
                                       step.outputs);
                    if (cache) cache.set(key, result);
                }
                results.push(result);
                if (result.status !== 0)
                    return { files: all, results, failed: step, message: lastLine(result) };
                for (const [name, bytes] of result.files) all.set(name, bytes);
            }
            return { files: all, results };
        }

        // Compiles both modules ahead of the first run; a failure shows again
        // at that run.
        function prepare() {
            return Promise.all(Object.keys(sources).map(moduleOf)).then(() => undefined);
        }

        return { run, runJob, prepare };
    }

    // The line a failed program ended with: its last line on standard error,
    // or else on standard output.
    function lastLine(result) {
        for (const bytes of [result.stderr, result.stdout]) {
            const lines = new TextDecoder().decode(bytes).split(/\r?\n/).filter((l) => l !== '');
            if (lines.length > 0) return lines[lines.length - 1];
        }
        return 'the program ended with status ' + result.status;
    }

    // ---- the BMPs the programs write, for drawing ---------------------------------------

    // The pixels of a plain 24-bit BMP with the 54-byte header the programs
    // write (rows bottom-up, each padded to 4 bytes, blue, green, red) as
    // RGBA rows top-down, as a canvas takes them.
    function bmpPixels(bytes) {
        const view = new DataView(bytes.buffer, bytes.byteOffset, bytes.byteLength);
        const start = view.getUint32(10, true);
        const width = view.getInt32(18, true);
        const height = view.getInt32(22, true);
        const stride = (3 * width + 3) & ~3;
        const rgba = new Uint8ClampedArray(4 * width * height);
        for (let y = 0; y < height; ++y) {
            const row = start + (height - 1 - y) * stride;
            for (let x = 0; x < width; ++x) {
                const at = 4 * (y * width + x);
                rgba[at + 0] = bytes[row + 3 * x + 2];
                rgba[at + 1] = bytes[row + 3 * x + 1];
                rgba[at + 2] = bytes[row + 3 * x + 0];
                rgba[at + 3] = 255;
            }
        }
        return { width, height, rgba };
    }

    exports.defaultSettings = defaultSettings;
    exports.jobFor = jobFor;
    exports.commandLine = commandLine;
    exports.createRunner = createRunner;
    exports.bmpPixels = bmpPixels;
})(typeof module === 'object' && module.exports ? module.exports : (globalThis.Programs = {}));
