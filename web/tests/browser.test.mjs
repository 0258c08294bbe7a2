// The page in a real browser, Debian's Chromium without a screen, driven by
// puppeteer-core: one test per thing a user does. What the page draws and
// downloads is compared with the native programs' files, which Chromium's
// own BMP decoder reads for the comparison. The time of a redraw after a
// control changes and of opening a large picture is printed, not checked.
//
//   SCREENSHOT=docs/web-page.png  also writes a screenshot of the page
import assert from 'node:assert/strict';
import { existsSync, mkdtempSync, readFileSync, rmSync } from 'node:fs';
import { createServer } from 'node:http';
import { tmpdir } from 'node:os';
import { extname, join, resolve } from 'node:path';
import { after, before, describe, test } from 'node:test';
import puppeteer from 'puppeteer-core';

import { Programs, makePictures, runNatively, webBuild } from './support.mjs';

const defaults = Programs.defaultSettings;

// The page's folder over http on the loopback address, with the types a
// browser wants.
function serve(folder) {
    const types = { '.html': 'text/html', '.js': 'text/javascript', '.wasm': 'application/wasm' };
    const server = createServer((request, response) => {
        const path = new URL(request.url, 'http://localhost').pathname.slice(1) || 'index.html';
        const file = join(folder, path);
        if (path.includes('..') || !existsSync(file)) {
            response.writeHead(404).end();
            return;
        }
        response.writeHead(200, { 'content-type': types[extname(file)] || 'application/octet-stream' });
        response.end(readFileSync(file));
    });
    return new Promise((done) => server.listen(0, '127.0.0.1', () => done(server)));
}

// Width, height and a SHA-256 of the RGBA pixels, of a canvas of the page or
// of a picture file that Chromium decodes with no colour conversion.
function canvasPixels(page, id) {
    return page.evaluate(async (id) => {
        const canvas = document.getElementById(id);
        const data = canvas.getContext('2d').getImageData(0, 0, canvas.width, canvas.height).data;
        const digest = new Uint8Array(await crypto.subtle.digest('SHA-256', data));
        return [canvas.width, canvas.height, Array.from(digest, (b) => b.toString(16)).join('')];
    }, id);
}

function filePixels(page, bytes, type) {
    return page.evaluate(async (base64, type) => {
        const bytes = Uint8Array.from(atob(base64), (c) => c.charCodeAt(0));
        const bitmap = await createImageBitmap(new Blob([bytes], { type }), {
            colorSpaceConversion: 'none',
            premultiplyAlpha: 'none',
        });
        const canvas = new OffscreenCanvas(bitmap.width, bitmap.height);
        canvas.getContext('2d').drawImage(bitmap, 0, 0);
        const data = canvas.getContext('2d').getImageData(0, 0, bitmap.width, bitmap.height).data;
        const digest = new Uint8Array(await crypto.subtle.digest('SHA-256', data));
        return [bitmap.width, bitmap.height, Array.from(digest, (b) => b.toString(16)).join('')];
    }, Buffer.from(bytes).toString('base64'), type);
}

// The page has finished its n-th job.
const finished = (page, n) => page.waitForSelector(`body[data-runs="${n}"]`, { timeout: 60000 });
const runsSoFar = async (page) => Number(await page.$eval('body', (b) => b.dataset.runs || 0));

describe('the page in Chromium', () => {
    let pictures, server, browser, profile, downloads;
    const native = new Map(); // job key -> files the native programs wrote

    // What the native programs write for the settings on the picture.
    function nativeFiles(settings, name = 'photo.bmp') {
        const job = Programs.jobFor({ ...defaults, ...settings }, name);
        const key = JSON.stringify(job.runs.map((step) => step.words));
        if (!native.has(key)) {
            const ran = runNatively(job, pictures);
            rmSync(ran.folder, { recursive: true, force: true });
            const files = new Map();
            for (const result of ran.results) for (const [n, bytes] of result.files) files.set(n, bytes);
            native.set(key, { job, files });
        }
        return native.get(key);
    }

    async function expectViews(page, settings, name = 'photo.bmp') {
        const { job, files } = nativeFiles(settings, name);
        assert.deepEqual(await canvasPixels(page, 'machine'),
                         await filePixels(page, files.get(job.view), 'image/bmp'), 'machine view');
        assert.deepEqual(await canvasPixels(page, 'original'),
                         await filePixels(page, files.get(job.resized), 'image/bmp'), 'resized');
    }

    async function openPage(url, width = 1100) {
        const page = await browser.newPage();
        await page.setViewport({ width, height: 900 });
        const errors = [];
        page.on('pageerror', (error) => errors.push(error.message));
        page.errors = errors;
        await page.goto(url);
        const session = await page.createCDPSession();
        await session.send('Browser.setDownloadBehavior', { behavior: 'allow', downloadPath: downloads });
        return page;
    }

    async function choose(page, file) {
        const n = await runsSoFar(page);
        const started = Date.now();
        await (await page.$('#picture')).uploadFile(join(pictures, file));
        await finished(page, n + 1);
        return Date.now() - started;
    }

    async function downloaded(name) {
        const file = join(downloads, name);
        for (let i = 0; i < 200 && !existsSync(file); ++i) await new Promise((r) => setTimeout(r, 50));
        return readFileSync(file);
    }

    before(async () => {
        pictures = makePictures({ 'photo.bmp': [640, 480], 'small.bmp': [97, 61], 'large.bmp': [4000, 3000] });
        server = await serve(join(webBuild, 'page'));
        profile = mkdtempSync(join(tmpdir(), 'web-chromium-'));
        downloads = mkdtempSync(join(tmpdir(), 'web-downloads-'));
        browser = await puppeteer.launch({
            executablePath: '/usr/bin/chromium',
            headless: true,
            userDataDir: profile,
            args: ['--headless', '--no-sandbox', '--disable-gpu', '--no-first-run',
                   '--disable-background-networking', '--disable-component-update', '--disable-sync'],
        });
    });

    after(async () => {
        if (browser) await browser.close();
        if (server) server.close();
        for (const folder of [pictures, profile, downloads])
            if (folder) rmSync(folder, { recursive: true, force: true });
    });

    const served = () => `http://127.0.0.1:${server.address().port}/`;

    test('loading a picture shows it and the machine\'s view, and the commands', async () => {
        const page = await openPage(served());
        await choose(page, 'photo.bmp');
        assert.equal(await page.$eval('body', (b) => b.dataset.state), 'ready');
        assert.equal(await page.$eval('#message', (e) => e.textContent), '');
        await expectViews(page, {});
        assert.equal(await page.$eval('#commands', (e) => e.textContent),
                     Programs.commandLine(Programs.jobFor(defaults, 'photo.bmp').runs[0]));
        assert.deepEqual(page.errors, []);
        if (process.env.SCREENSHOT) await page.screenshot({ path: resolve(process.env.SCREENSHOT), fullPage: true });
        await page.close();
    });

    test('changing each control with the keyboard redraws the preview', async (t) => {
        const page = await openPage(served());
        await choose(page, 'photo.bmp');
        const changes = [
            ['screen', { screen: '10' }],
            ['fit', { screen: '10', fit: 'fit' }],
            ['pixelAspect', { screen: '10', fit: 'fit', pixelAspect: '61:44' }],
            ['metric', { screen: '10', fit: 'fit', pixelAspect: '61:44', metric: 'lab' }],
            ['encoder', { screen: '10', fit: 'fit', pixelAspect: '61:44', metric: 'lab', encoder: 'classic' }],
            ['dither', { screen: '10', fit: 'fit', pixelAspect: '61:44', metric: 'lab', encoder: 'classic',
                         dither: 'none' }],
        ];
        for (const [control, settings] of changes) {
            const n = await runsSoFar(page);
            await page.focus('#' + control);
            const started = Date.now();
            await page.keyboard.press('ArrowDown');
            await finished(page, n + 1);
            t.diagnostic(`redraw after ${control} changed: ${Date.now() - started} ms`);
            await expectViews(page, settings);
        }
        assert.equal(await page.$eval('#downloadScreen', (e) => e.textContent), 'Download PICTURE.SCA');
        // The scale only changes how large the views are shown.
        const n = await runsSoFar(page);
        await page.focus('#scale');
        await page.keyboard.press('ArrowDown');
        assert.equal(await page.$eval('#machine', (e) => e.style.width), '768px');
        assert.equal(await runsSoFar(page), n);
        // Every encoder is offered; the colour error is the best encoder's only.
        assert.deepEqual(await page.$$eval('#encoder option', (o) => o.map((e) => e.disabled)), [false, false]);
        assert.equal(await page.$eval('#metric', (e) => e.disabled), true);
        await page.close();
    });

    test('the downloads are the native screen file and the machine\'s view', async () => {
        const page = await openPage(served());
        await choose(page, 'photo.bmp');
        await page.focus('#downloadScreen');
        await page.keyboard.press('Enter');
        const { job, files } = nativeFiles({});
        assert.ok((await downloaded('PICTURE.SCC')).equals(files.get('PICTURE.SCC')));
        await page.click('#downloadPreview');
        assert.deepEqual(await filePixels(page, await downloaded('PICTURE-view.png'), 'image/png'),
                         await filePixels(page, files.get(job.view), 'image/bmp'));
        await page.close();
    });

    test('a broken file shows the programs\' message, and the page goes on working', async () => {
        const page = await openPage(served());
        await choose(page, 'broken.bmp');
        assert.equal(await page.$eval('body', (b) => b.dataset.state), 'failed');
        assert.equal(await page.$eval('#message', (e) => e.textContent),
                     'tessalo: infile is too short: its pixel rows need 921654 bytes, the file has 1000');
        assert.equal(await page.$eval('#downloadScreen', (e) => e.disabled), true);
        await choose(page, 'photo.png');
        assert.equal(await page.$eval('#message', (e) => e.textContent),
                     'tessalo: infile is a PNG picture that cannot be decoded: the file ends inside the picture');
        await choose(page, 'small.jpg');
        assert.equal(await page.$eval('#message', (e) => e.textContent), '');
        await choose(page, 'photo.bmp');
        assert.equal(await page.$eval('#message', (e) => e.textContent), '');
        await expectViews(page, {});
        assert.deepEqual(page.errors, []);
        await page.close();
    });

    test('opening a large picture', async (t) => {
        const page = await openPage(served());
        const took = await choose(page, 'large.bmp');
        t.diagnostic(`opening a 4000 x 3000 picture (36 MB): ${took} ms`);
        await expectViews(page, {}, 'large.bmp');
        await page.close();
    });

    test('the single file works opened from disk', async () => {
        const single = join(webBuild, 'msx2plus-picture-tools.html');
        const page = await openPage('file://' + single);
        await choose(page, 'photo.bmp');
        await expectViews(page, {});
        assert.deepEqual(page.errors, []);
        await page.close();
    });

    test('every control has a label, and the page fits 360 pixels', async () => {
        const page = await openPage(served(), 360);
        await choose(page, 'photo.bmp');
        assert.deepEqual(
            await page.$$eval('select, input, button', (all) =>
                all.filter((e) => e.labels === null || (e.labels.length === 0 && e.textContent.trim() === ''))
                   .map((e) => e.id)),
            []);
        assert.ok(await page.evaluate(() => document.documentElement.scrollWidth <= 360));
        await page.close();
    });
});
