// Builds the playground into one folder (default: build-web/ at the root, beside the
// WebAssembly module that `make web` puts there): the bundled page script, the worker, the
// page and its style, with the bundled examples inside the page script.
import * as esbuild from 'esbuild';
import fs from 'node:fs';
import path from 'node:path';
import { fileURLToPath } from 'node:url';

const here = path.dirname(fileURLToPath(import.meta.url));
const root = path.dirname(here);
const out = path.resolve(process.argv[2] || path.join(root, 'build-web'));
fs.mkdirSync(out, { recursive: true });

// The examples, the measurement first.
const examplesDir = path.join(root, 'examples');
const names = fs.readdirSync(examplesDir).filter((name) => name.endsWith('.s')).sort();
names.sort((a, b) => (b === 'pulse_sequence.s') - (a === 'pulse_sequence.s'));
const examples = names.map((name) => ({ name, source: fs.readFileSync(path.join(examplesDir, name), 'utf8') }));

const examplesPlugin = {
  name: 'examples',
  setup(build) {
    build.onResolve({ filter: /^virtual:examples$/ }, () => ({ path: 'examples', namespace: 'examples' }));
    build.onLoad({ filter: /.*/, namespace: 'examples' }, () => ({
      contents: 'export default ' + JSON.stringify(examples) + ';',
      loader: 'js',
    }));
  },
};

await esbuild.build({
  entryPoints: [path.join(here, 'src/main.js')],
  bundle: true,
  minify: true,
  format: 'iife',
  target: 'es2022',
  outfile: path.join(out, 'app.js'),
  plugins: [examplesPlugin],
  logLevel: 'warning',
});
for (const file of ['index.html', 'style.css']) fs.copyFileSync(path.join(here, file), path.join(out, file));
fs.copyFileSync(path.join(here, 'src/worker.js'), path.join(out, 'worker.js'));
console.log('playground written to ' + out);
