// Writes the page as one self-contained HTML file, which works opened from
// disk (file://), where a page may load neither scripts of its own folder as
// modules nor .wasm files:
//
//   node single_file.mjs PAGE_FOLDER OUT.html
//
// Each <script src="NAME"> of index.html gets the script's text in its
// place, and each module's bytes go in as base64 in a script element of
// type application/octet-stream with the id PROGRAM-wasm, which page.js
// reads instead of fetching PROGRAM.wasm.
import { readFileSync, writeFileSync } from 'node:fs';
import { join } from 'node:path';

const [folder, out] = process.argv.slice(2);
const page = readFileSync(join(folder, 'index.html'), 'utf8');

// A script's text cannot hold "</script" inside an HTML script element.
const inline = (text) => text.replace(/<\/script/gi, '<\\/script');

const modules = ['tessalo', 'pravun']
    .map((program) => {
        const base64 = readFileSync(join(folder, program + '.wasm')).toString('base64');
        return `<script type="application/octet-stream" id="${program}-wasm">${base64}</script>\n`;
    })
    .join('');

let first = true;
const single = page.replace(/<script src="([^"]+)"><\/script>\n/g, (whole, name) => {
    const script = `<script>\n${inline(readFileSync(join(folder, name), 'utf8'))}\n</script>\n`;
    const before = first ? modules : '';
    first = false;
    return before + script;
});
if (first) throw new Error('index.html has no <script src> element');
writeFileSync(out, single);
