// The modules against the native programs, under Node: every row runs the
// same words both ways and compares the exit status, the console's bytes and
// every file written, byte for byte. Before it, the page's settings against
// the words they stand for.
import assert from 'node:assert/strict';
import { readFileSync, rmSync } from 'node:fs';
import { after, describe, test } from 'node:test';

import { Programs, makePictures, runNatively, webRunner } from './support.mjs';

const defaults = Programs.defaultSettings;
const commands = (settings, name = 'photo.bmp') =>
    Programs.jobFor({ ...defaults, ...settings }, name).runs.map(Programs.commandLine);

describe('the words for the page settings', () => {
    const original = 'echo photo-screen.bmp | pravun photo.bmp /m256x212 /t /a114 /e';
    const rows = [
        {
            settings: {},
            commands: ['tessalo --screen 12 --preview photo-view.bmp photo.bmp PICTURE.SCC', original],
        },
        {
            settings: { screen: '10', fit: 'fit', pixelAspect: '1:1', encoder: 'classic', dither: 'none',
                        metric: 'lab' },
            commands: [
                'tessalo --screen 10 --fit --pixel-aspect 1:1 --encoder classic --dither none ' +
                    '--preview photo-view.bmp photo.bmp PICTURE.SCA',
                'pravun photo.bmp /m256x212 /e photo-screen.bmp',
            ],
        },
        {
            settings: { metric: 'lab' },
            commands: ['tessalo --screen 12 --metric lab --preview photo-view.bmp photo.bmp PICTURE.SCC',
                       original],
        },
        {
            settings: { fit: 'fit', pixelAspect: '61:44' },
            commands: [
                'tessalo --screen 12 --fit --pixel-aspect 61:44 --preview photo-view.bmp photo.bmp PICTURE.SCC',
                'pravun photo.bmp /m256x212 /a139 /e photo-screen.bmp',
            ],
        },
        {
            settings: { pixelAspect: '1:1' },
            name: "-my photo's.jpg",
            commands: [
                "tessalo --screen 12 --pixel-aspect 1:1 --preview './-my photo'\\''s-view.bmp' " +
                    "'./-my photo'\\''s.jpg' PICTURE.SCC",
                "pravun './-my photo'\\''s.jpg' /m256x212 /t /e './-my photo'\\''s-screen.bmp'",
            ],
        },
        {
            settings: { fit: 'fit' },
            name: 'picture',
            commands: [
                'tessalo --screen 12 --fit --preview picture-view.bmp picture PICTURE.SCC',
                'pravun picture /m256x212 /a114 /e picture-screen.bmp',
            ],
        },
    ];
    for (const row of rows) {
        test(JSON.stringify(row.settings) + ' ' + (row.name || 'photo.bmp'), () => {
            assert.deepEqual(commands(row.settings, row.name), row.commands);
        });
    }
});

// ---- the byte-comparison table ----------------------------------------------------

const pictureNames = ['photo.bmp', 'small.bmp', 'small.png', 'small.jpg', 'broken.bmp', 'notes.txt',
                      'photo.png'];

// A job of one program run; every test picture is there to be read.
function single(program, words, outputs, stdin = '') {
    return { runs: [{ program, words, stdin, inputs: pictureNames, outputs }] };
}

// Every setting the page offers on the photo, and the defaults and the fitted
// picture on the small one.
const pageJobs = [];
for (const screen of ['12', '10'])
    for (const fit of ['fill', 'fit'])
        for (const pixelAspect of ['8:7', '61:44', '1:1'])
            for (const dither of ['diffuse', 'none']) {
                // The classic encoder where the dithering is off, to keep the table short.
                const encoder = dither === 'none' ? 'classic' : 'best';
                const settings = { ...defaults, screen, fit, pixelAspect, dither, encoder };
                pageJobs.push({
                    name: `page: ${screen} ${fit} ${pixelAspect} ${dither} ${encoder}`,
                    job: Programs.jobFor(settings, 'photo.bmp'),
                    ok: true,
                });
            }

const rows = [
    ...pageJobs,
    { name: 'page: small picture, defaults', job: Programs.jobFor(defaults, 'small.bmp'), ok: true },
    {
        name: 'page: small picture fitted, screen 10',
        job: Programs.jobFor({ ...defaults, screen: '10', fit: 'fit' }, 'small.bmp'),
        ok: true,
    },
    {
        name: 'page: small picture, Lab colour error',
        job: Programs.jobFor({ ...defaults, metric: 'lab' }, 'small.bmp'),
        ok: true,
    },
    { name: 'page: PNG picture', job: Programs.jobFor(defaults, 'small.png'), ok: true },
    { name: 'page: JPEG picture', job: Programs.jobFor(defaults, 'small.jpg'), ok: true },
    { name: 'page refusal: BMP cut short', job: Programs.jobFor(defaults, 'broken.bmp'), ok: false },
    { name: 'page refusal: no picture', job: Programs.jobFor(defaults, 'notes.txt'), ok: false },
    { name: 'page refusal: PNG cut short', job: Programs.jobFor(defaults, 'photo.png'), ok: false },
    {
        name: 'pravun: width, rounding down',
        job: single('pravun', ['photo.bmp', '/h320', 'half.bmp'], ['half.bmp']),
        ok: true,
    },
    {
        name: 'pravun: output name and size menu answered on standard input',
        job: single('pravun', ['small.bmp'], ['menu.bmp'], 'menu.bmp\n2\n128\n'),
        ok: true,
    },
    {
        name: 'tessalo: screen 12 preview BMP',
        job: single('tessalo', ['batch', '2', '4', '1', '2', '1', 'y', 'small.bmp', 'preview.bmp'],
                    ['preview.bmp']),
        ok: true,
    },
    {
        name: 'tessalo: YUV preview',
        job: single('tessalo', ['batch', '4', '2', '2', '0', '0', 'small.bmp', 'yuv.bmp'], ['yuv.bmp']),
        ok: true,
    },
    {
        name: 'tessalo: answers on standard input',
        job: single('tessalo', [], ['asked.bmp'], '2\n4\n1\n1\n2\nn\nsmall.bmp\nasked.bmp\n'),
        ok: true,
    },
    { name: 'tessalo: --help', job: single('tessalo', ['--help'], []), ok: true },
    { name: 'pravun: --version', job: single('pravun', ['--version'], []), ok: true },
    {
        name: 'tessalo refusal: too large for a screen file',
        job: single('tessalo', ['batch', '2', '4', '1', '2', '1', 'y', 'photo.bmp', 'PIC.SCC'],
                    ['PIC.SCC']),
        ok: false,
    },
    {
        name: 'tessalo refusal: chroma factors of no screen',
        job: single('tessalo', ['batch', '2', '2', '2', '2', '1', 'y', 'small.bmp', 'PIC.SCC'],
                    ['PIC.SCC']),
        ok: false,
    },
    {
        name: 'tessalo refusal: dithering level, input ended',
        job: single('tessalo', ['batch', '2', '4', '1', '9', '1', 'y', 'small.bmp', 'p.bmp'],
                    ['p.bmp']),
        ok: false,
    },
    {
        name: 'tessalo refusal: decode of no screen file',
        job: single('tessalo', ['--decode', 'notes.txt', 'x.bmp'], ['x.bmp']),
        ok: false,
    },
    {
        name: 'pravun refusal: no such file',
        job: single('pravun', ['missing.bmp', '/h10', 'out.bmp'], ['out.bmp']),
        ok: false,
    },
];

describe('the modules give the native programs\' bytes', () => {
    const pictures = makePictures();
    const runner = webRunner();
    const files = new Map(pictureNames.map((name) => [name, readFileSync(`${pictures}/${name}`)]));
    after(() => rmSync(pictures, { recursive: true, force: true }));

    for (const row of rows) {
        test(row.name, async () => {
            const native = runNatively(row.job, pictures);
            rmSync(native.folder, { recursive: true, force: true });
            const web = await runner.runJob(row.job, files);
            assert.equal(web.results.length, native.results.length, 'runs made');
            web.results.forEach((result, i) => {
                const expected = native.results[i];
                const step = Programs.commandLine(row.job.runs[i]);
                assert.equal(result.status, expected.status, step + ': status');
                assert.deepEqual(Buffer.from(result.stdout), expected.stdout, step + ': stdout');
                assert.deepEqual(Buffer.from(result.stderr), expected.stderr, step + ': stderr');
                assert.deepEqual([...result.files.keys()], [...expected.files.keys()], step + ': files');
                for (const [name, bytes] of result.files)
                    assert.ok(Buffer.from(bytes).equals(expected.files.get(name)), step + ': ' + name);
            });
            assert.equal(web.message === undefined, row.ok, 'the job ' + (row.ok ? 'succeeds' : 'fails'));
        });
    }

    test('a failed job gives the line the program ended with', async () => {
        const lines = [];
        for (const name of ['broken.bmp', 'notes.txt', 'photo.png'])
            lines.push((await runner.runJob(Programs.jobFor(defaults, name), files)).message);
        assert.deepEqual(lines, [
            'tessalo: infile is too short: its pixel rows need 921654 bytes, the file has 1000',
            "tessalo: infile is not a 'BM'",
            'tessalo: infile is a PNG picture that cannot be decoded: the file ends inside the picture',
        ]);
    });

    test('a run is taken from the cache only after the same earlier runs', async () => {
        const cache = new Map();
        const first = await runner.runJob(Programs.jobFor(defaults, 'small.bmp'), files, cache);
        const again = await runner.runJob(Programs.jobFor(defaults, 'small.bmp'), files, cache);
        assert.equal(again.results[0], first.results[0]);
        assert.equal(again.results[1], first.results[1]);
        // Another conversion: the resize after it is run again too.
        const screen10 = { ...defaults, screen: '10' };
        const second = await runner.runJob(Programs.jobFor(screen10, 'small.bmp'), files, cache);
        assert.notEqual(second.results[0], first.results[0]);
        assert.notEqual(second.results[1], first.results[1]);
        assert.deepEqual(second.files.get('small-screen.bmp'), first.files.get('small-screen.bmp'));
    });
});
