// What both checks share: where the native and the WebAssembly builds are,
// the test pictures, and the native programs run the way the page runs the
// modules.
//
//   NATIVE_BUILD  the native build folder (default: build at the project's root)
//   WEB_BUILD     the Emscripten build folder (default: build-web there)
import { spawnSync } from 'node:child_process';
import { copyFileSync, existsSync, mkdtempSync, readFileSync, readdirSync, writeFileSync } from 'node:fs';
import { createRequire } from 'node:module';
import { tmpdir } from 'node:os';
import { join, resolve } from 'node:path';
import { fileURLToPath } from 'node:url';

const root = fileURLToPath(new URL('../..', import.meta.url));
export const nativeBuild = resolve(root, process.env.NATIVE_BUILD || 'build');
export const webBuild = resolve(root, process.env.WEB_BUILD || 'build-web');

const require = createRequire(import.meta.url);
export const Programs = require('../programs.js');

const nativeProgram = { tessalo: 'tessalo/tessalo', pravun: 'pravun/pravun' };

// The modules as the page loads them.
export function webRunner() {
    const source = (program) => ({
        factory: require(join(webBuild, program, program + '.js')),
        wasm: () => readFileSync(join(webBuild, program, program + '.wasm')),
    });
    return Programs.createRunner({ tessalo: source('tessalo'), pravun: source('pravun') });
}

// A fresh folder with the test pictures: pictures made by make_picture, the
// small one as a PNG and a JPEG by ImageMagick, a BMP cut short, a text file
// and the start of a PNG.
export function makePictures(sizes = { 'photo.bmp': [640, 480], 'small.bmp': [97, 61] }) {
    const folder = mkdtempSync(join(tmpdir(), 'web-pictures-'));
    for (const [name, [width, height]] of Object.entries(sizes)) {
        const made = spawnSync(join(nativeBuild, 'bench/make_picture'),
                               [String(width), String(height), join(folder, name)]);
        if (made.status !== 0) throw new Error('make_picture failed: ' + made.stderr);
    }
    for (const name of sizes['small.bmp'] ? ['small.png', 'small.jpg'] : []) {
        const made = spawnSync('convert', [join(folder, 'small.bmp'), join(folder, name)]);
        if (made.status !== 0) throw new Error('convert failed: ' + made.stderr);
    }
    const photo = readFileSync(join(folder, 'photo.bmp'));
    writeFileSync(join(folder, 'broken.bmp'), photo.subarray(0, 1000));
    writeFileSync(join(folder, 'notes.txt'), 'not a picture\n');
    writeFileSync(join(folder, 'photo.png'),
                  Buffer.from('89504e470d0a1a0a0000000d49484452', 'hex'));
    return folder;
}

// Runs a job's steps with the native programs in a fresh folder holding a
// copy of the pictures, each on what the earlier steps wrote, up to the first
// that fails; gives each step's status, console bytes and declared outputs.
export function runNatively(job, pictures) {
    const folder = mkdtempSync(join(tmpdir(), 'web-native-'));
    for (const name of readdirSync(pictures)) copyFileSync(join(pictures, name), join(folder, name));
    const results = [];
    for (const step of job.runs) {
        const ran = spawnSync(join(nativeBuild, nativeProgram[step.program]), step.words,
                              { cwd: folder, input: step.stdin });
        const files = new Map();
        for (const name of step.outputs)
            if (existsSync(join(folder, name))) files.set(name, readFileSync(join(folder, name)));
        results.push({ status: ran.status, stdout: ran.stdout, stderr: ran.stderr, files });
        if (ran.status !== 0) break;
    }
    return { folder, results };
}
