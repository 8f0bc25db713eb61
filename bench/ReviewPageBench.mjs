// The review station at batch size, in one run: a raw-data batch (bench/tools/make-raw-bench-
// batch.py, 200 samples x 500 compounds by default) through quan-batch with and without its
// chromatograms, the database each leaves, and in headless Chromium the review page of each
// (time to a usable page, as the page records it) and, with chromatograms, the switch from one
// compound to another, from the request to the frame after its panels are drawn: to a compound
// far from those shown (nothing of it fetched ahead), a step to the next one with the n key after
// a pause (fetched ahead while the analyst looks), both to the panels in view drawn, and to all
// 200 panels drawn (as if the analyst scrolled through them). Prints a Markdown table for
// docs/PERFORMANCE.md.
//
//   node bench/ReviewPageBench.mjs --batch QUAN_BATCH --review QUAN_REVIEW --chromium CHROMIUM
//        [--samples 200] [--compounds 500] [--work DIR] [-j 2] [--pages-only 1]
import {spawn, spawnSync} from 'node:child_process';
import {createRequire} from 'node:module';
import {existsSync, mkdirSync, readdirSync, statSync} from 'node:fs';
import {tmpdir} from 'node:os';
import path from 'node:path';

const require = createRequire(new URL('../web/package.json', import.meta.url));
const puppeteer = require('puppeteer-core');
const args = {samples: '200', compounds: '500', j: '2', work: path.join(tmpdir(), 'quan-review-bench')};
for (let i = 2; i + 1 < process.argv.length; i += 2) args[process.argv[i].replace(/^-+/, '')] = process.argv[i + 1];
const here = path.dirname(new URL(import.meta.url).pathname);

function run(command, list) {
  const start = process.hrtime.bigint();
  const result = spawnSync(command, list, {encoding: 'utf8', maxBuffer: 1 << 28});
  if (result.status !== 0 && result.status !== 1 && result.status !== 4)
    throw new Error(`${command} ${list.join(' ')}: ${result.status}\n${result.stderr}`);
  return {seconds: Number(process.hrtime.bigint() - start) / 1e9, out: result.stdout, err: result.stderr};
}
const megabytes = (file) => statSync(file).size / 1e6;
const median = (values) => [...values].sort((a, b) => a - b)[Math.floor(values.length / 2)];

function startStation(folder) {
  return new Promise((resolve, reject) => {
    const station = spawn(args.review, [folder], {stdio: ['ignore', 'pipe', 'inherit']});
    let out = '';
    station.stdout.on('data', (d) => {
      out += d;
      const url = /http:\/\/127\.0\.0\.1:\d+\/\?token=[0-9a-f]+/.exec(out);
      if (url) resolve({station, url: url[0]});
    });
    station.on('exit', (code) => reject(new Error('quan-review ended: ' + code)));
  });
}

async function measurePage(browser, folder, switches) {
  const {station, url} = await startStation(folder);
  const result = {ready: [], switchMs: [], drawMs: [], fetchMs: [], stepMs: [], allMs: [], panels: 0};
  try {
    for (let round = 0; round < 3; round++) {
      const page = await browser.newPage();
      await page.setViewport({width: 1600, height: 1000});
      await page.goto(url);
      await page.waitForFunction(() => document.body.hasAttribute('data-ready-ms') || window.quanErrors.length, {timeout: 120000});
      result.ready.push(await page.evaluate(() => +document.body.getAttribute('data-ready-ms')));
      if (switches && round === 0) {
        // As the analyst sees it: a compound's chromatograms filling the screen, the grid above
        // scrolled away.
        await page.evaluate(async () => {
          await window.quanReview.showCompound(20);
          document.getElementById('panels').scrollIntoView();
        });
        // Far: none of these is next to another or to 20.
        for (const entry of [137, 250, 389, 60, 180, 300, 420, 100, 220, 470]) {
          const m = await page.evaluate(async (entry) => {
            const start = performance.now();
            await window.quanReview.showCompound(entry);
            await new Promise((r) => requestAnimationFrame(() => requestAnimationFrame(r)));
            const s = window.quanReview.state();
            return {ms: performance.now() - start, draw: s.drawMs, fetch: s.fetchMs, panels: s.panels, plots: s.plots};
          }, entry);
          result.switchMs.push(m.ms);
          result.drawMs.push(m.draw);
          result.fetchMs.push(m.fetch);
          result.panels = m.panels;
          result.plots = m.plots;
        }
        // Steps with the n key, each after a pause of 300 ms (a glance at the panels).
        for (let k = 0; k < 10; k++) {
          const ms = await page.evaluate(async () => {
            await new Promise((r) => setTimeout(r, 300));
            const start = performance.now();
            await (window.quanReview.nextCompound ? window.quanReview.nextCompound(1)
                                                  : window.quanReview.showCompound(window.quanReview.state().entry + 1));
            await new Promise((r) => requestAnimationFrame(() => requestAnimationFrame(r)));
            return performance.now() - start;
          });
          result.stepMs.push(ms);
        }
        // All 200 panels drawn after a far switch (pages that draw only near the screen have a hook).
        for (const entry of [40, 160, 280, 400, 440]) {
          const ms = await page.evaluate(async (entry) => {
            if (!window.quanReview.drawAll) return NaN;
            const start = performance.now();
            await window.quanReview.showCompound(entry);
            await window.quanReview.drawAll();
            await new Promise((r) => requestAnimationFrame(() => requestAnimationFrame(r)));
            return performance.now() - start;
          }, entry);
          result.allMs.push(ms);
        }
      }
      const errors = await page.evaluate(() => window.quanErrors);
      if (errors.length) throw new Error(errors.join('\n'));
      await page.close();
    }
  } finally {
    station.kill('SIGINT');
  }
  return result;
}

async function main() {
  const batch = path.join(args.work, `batch-${args.samples}x${args.compounds}`);
  if (!existsSync(path.join(batch, 'batch.csv'))) {
    mkdirSync(args.work, {recursive: true});
    run('/usr/bin/python3', [path.join(here, 'tools', 'make-raw-bench-batch.py'), '--samples', args.samples,
                             '--compounds', args.compounds, batch]);
  }
  const withTraces = path.join(args.work, 'out-chromatograms'), without = path.join(args.work, 'out-none');
  // --pages-only 1 measures the pages of the outputs an earlier run left.
  const skip = args['pages-only'] === '1' && existsSync(path.join(withTraces, 'results.sqlite')) &&
               existsSync(path.join(without, 'results.sqlite'));
  const none = {seconds: NaN, err: ''};
  const runWith = skip ? none : run(args.batch, ['--out', withTraces, '-j', args.j, '--timings', batch]);
  const runWithout = skip ? none : run(args.batch, ['--out', without, '-j', args.j, '--timings', '--no-chromatograms', batch]);
  const browser = await puppeteer.launch({
    executablePath: args.chromium, headless: true,
    args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run', '--disable-background-networking',
           '--disable-component-update', '--disable-sync', `--user-data-dir=${path.join(args.work, 'profile')}`],
  });
  const pageWith = await measurePage(browser, withTraces, true);
  const pageWithout = await measurePage(browser, without, false);
  await browser.close();
  const db = (folder) => megabytes(path.join(folder, 'results.sqlite'));
  const rawMb = readdirSync(path.join(batch, 'raw')).reduce((s, f) => s + megabytes(path.join(batch, 'raw', f)), 0);
  const f = (v, d = 1) => v.toFixed(d);
  console.log(`| ${args.samples} x ${args.compounds} from raw data, -j ${args.j} | without chromatograms | with chromatograms | target |`);
  console.log('|---|---|---|---|');
  console.log(`| quan-batch wall time | ${f(runWithout.seconds)} s | ${f(runWith.seconds)} s | |`);
  console.log(`| results.sqlite | ${f(db(without))} MB | ${f(db(withTraces))} MB (+${f(db(withTraces) - db(without))} MB) | |`);
  console.log(`| report.html | ${f(megabytes(path.join(without, 'report.html')))} MB | ${f(megabytes(path.join(withTraces, 'report.html')))} MB | |`);
  console.log(`| review page usable (median of 3) | ${f(median(pageWithout.ready), 0)} ms | ${f(median(pageWith.ready), 0)} ms | under 2 s |`);
  console.log(`| switch to a far compound, ${pageWith.panels} panels, those in view drawn (${pageWith.plots} plots), median / max of 10 | | ${f(median(pageWith.switchMs), 0)} / ${f(Math.max(...pageWith.switchMs), 0)} ms | under 150 ms |`);
  console.log(`| of which fetching / to the panels drawn (median) | | ${f(median(pageWith.fetchMs), 0)} / ${f(median(pageWith.drawMs), 0)} ms | |`);
  console.log(`| step to the next compound (n), those in view drawn, median / max of 10 | | ${f(median(pageWith.stepMs), 0)} / ${f(Math.max(...pageWith.stepMs), 0)} ms | under 150 ms |`);
  console.log(`| switch to a far compound, all ${pageWith.panels} panels drawn, median / max of 5 | | ${f(median(pageWith.allMs), 0)} / ${f(Math.max(...pageWith.allMs), 0)} ms | |`);
  console.log(`\nraw files of the batch: ${f(rawMb)} MB (samples of one kind share a file)`);
  console.log(`quan-batch --timings with chromatograms: ${runWith.err.trim().split('\n').filter((l) => /timings/.test(l)).join(' ')}`);
  console.log(`quan-batch --timings without: ${runWithout.err.trim().split('\n').filter((l) => /timings/.test(l)).join(' ')}`);
}

main().catch((e) => { console.error(e && e.stack || e); process.exit(1); });
