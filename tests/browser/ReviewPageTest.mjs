// The review views in a real browser (Debian's chromium, headless, driven by puppeteer-core
// from web/node_modules): the review station served by quan-review over the example batch,
// and the static report of the same run. For each: a compound's panels all drew, each panel's
// integrated bounds are shaded exactly from its peak's StartRT to its EndRT (read back from the
// canvas pixels and placed with the chart's own scale), the sample-type and result filters
// leave the samples they should, and the keys move between compounds and samples. On the
// station, the panels it sends packed are, as the page reads them, the stored points its JSON
// answer gives, and the compounds next to the one shown are fetched ahead and found at hand.
//
//   node ReviewPageTest.mjs --batch QUAN_BATCH --review QUAN_REVIEW --example BATCH_FOLDER
//        --chromium CHROMIUM [--screenshot PNG]
import {mkdtempSync, readFileSync, rmSync} from 'node:fs';
import {tmpdir} from 'node:os';
import path from 'node:path';
import assert from 'node:assert/strict';
import {Station, floats, launch, parseArgs, ready, run} from './StationSupport.mjs';

const args = parseArgs(['batch', 'review', 'example', 'chromium']);

const BOUNDS = [255, 222, 140];  // the page's colour of the integrated bounds
const ENTRY = 3;                 // Dichlorvos: an analyte with an internal standard
const work = mkdtempSync(path.join(tmpdir(), 'quan-review-test-'));
let station = null, browser = null;

async function shown(page, test, ...values) {
  await page.waitForFunction(test, {timeout: 15000}, ...values);
  return page.evaluate(() => window.quanReview.state());
}

// The first and last canvas columns of the bounds colour in a row just under the plot's top,
// where nothing else is drawn over the band.
async function boundsColumns(page, index, row) {
  return page.evaluate((index, row, colour) => {
    const canvas = document.querySelector(`[data-plot="${index}"] canvas`);
    const data = canvas.getContext('2d').getImageData(0, row, canvas.width, 1).data;
    let first = -1, last = -1;
    for (let x = 0; x < canvas.width; x++) {
      const o = x * 4;
      if (Math.abs(data[o] - colour[0]) <= 3 && Math.abs(data[o + 1] - colour[1]) <= 3 && Math.abs(data[o + 2] - colour[2]) <= 3) {
        if (first < 0) first = x;
        last = x;
      }
    }
    return {first, last};
  }, index, row, BOUNDS);
}

// Everything the two pages share. `expected` holds what the results say: the samples with
// their types, each sample's row of the compound (found, verdict), and the peaks' bounds.
// Panels are drawn as they come near the screen: scrolls to each, then waits for every plot.
async function drawAll(page) {
  await page.evaluate(async () => {
    for (const panel of document.querySelectorAll('#panels .panel')) {
      panel.scrollIntoView();
      await new Promise((r) => requestAnimationFrame(() => requestAnimationFrame(r)));
    }
  });
  await page.waitForFunction(() => {
    const s = window.quanReview.state();
    return s.filled === s.panels && s.plots === s.toDraw;
  }, {timeout: 15000});
}

async function checkViews(page, expected, label) {
  await page.evaluate(() => document.getElementById('review').scrollIntoView());
  await page.select('#review-compound', String(ENTRY));
  let state = await shown(page, (e) => window.quanReview.state().entry === e && window.quanReview.state().plots > 0, ENTRY);
  assert.equal(state.mode, 'compound');
  assert.equal(state.panels, expected.samples.length, `${label}: one panel per sample`);
  await drawAll(page);
  await page.evaluate(() => document.getElementById('review').scrollIntoView());
  const plots = await page.evaluate(() => window.quanReview.plots());
  const main = plots.filter((p) => p.role === 'main');
  assert.equal(main.length, expected.samples.length, `${label}: every sample's chromatogram drew`);
  assert.ok(plots.some((p) => p.role === 'standard'), `${label}: the internal standard is drawn beside`);
  let checked = 0;
  for (const plot of main) {
    assert.equal(plot.entry, ENTRY);
    const peak = expected.peaks[plot.sample];
    await page.evaluate((i) => document.querySelector(`[data-plot="${i}"]`).scrollIntoView({block: 'center'}), plot.index);
    const columns = await boundsColumns(page, plot.index, Math.round(plot.top) + 2);
    if (!peak) {
      assert.equal(columns.first, -1, `${label}: sample ${plot.sample} has no peak, so no bounds`);
      continue;
    }
    const at = (rt) => plot.left + (rt - plot.xMin) / (plot.xMax - plot.xMin) * plot.width;
    const [start, end] = [at(peak[0]), at(peak[1])];
    assert.ok(Math.abs(columns.first - start) <= 1.5, `${label}: sample ${plot.sample} bounds start at ${columns.first}, StartRT is at ${start}`);
    assert.ok(Math.abs(columns.last + 1 - end) <= 1.5, `${label}: sample ${plot.sample} bounds end at ${columns.last + 1}, EndRT is at ${end}`);
    checked++;
  }
  assert.equal(checked, Object.keys(expected.peaks).length, `${label}: every peak's bounds were checked`);
  assert.ok(checked >= 6, `${label}: the standards and QCs at least have a peak (${checked})`);

  // Filters: by sample type, then by result.
  const qcs = expected.samples.filter((s) => s[1] === 'QC').length;
  await page.select('#review-type', 'QC');
  state = await page.evaluate(() => window.quanReview.state());
  assert.equal(state.panels, qcs, `${label}: the QC filter leaves the QCs`);
  await page.select('#review-type', '');
  await page.select('#review-show', 'flagged');
  state = await page.evaluate(() => window.quanReview.state());
  assert.equal(state.panels, expected.flagged, `${label}: the flagged filter leaves the flagged results`);
  await page.select('#review-show', 'flag:NotFound');
  state = await page.evaluate(() => window.quanReview.state());
  assert.equal(state.panels, expected.samples.length - Object.keys(expected.areas).filter((s) => expected.areas[s] !== null).length,
               `${label}: the NotFound flag leaves the samples without a peak`);
  await page.select('#review-show', '');
  await page.select('#review-sort', 'area');
  const order = await page.evaluate(() => Array.from(document.querySelectorAll('#panels .panel')).map((p) => +p.getAttribute('data-s')));
  const areas = order.map((s) => expected.areas[s]).filter((a) => a !== null);
  assert.deepEqual(areas, [...areas].sort((a, b) => a - b), `${label}: ordered by area`);
  await page.select('#review-sort', '');

  // Keys: n and p step through the compounds, j and k through the samples.
  await page.evaluate(() => document.activeElement && document.activeElement.blur());
  await page.keyboard.press('n');
  state = await shown(page, (e) => window.quanReview.state().entry === e + 1, ENTRY);
  assert.equal(state.mode, 'compound');
  await page.keyboard.press('p');
  await shown(page, (e) => window.quanReview.state().entry === e, ENTRY);
  await page.keyboard.press('j');
  state = await shown(page, () => window.quanReview.state().mode === 'sample');
  assert.equal(state.sample, 0);
  assert.equal(state.panels, expected.compounds, `${label}: the sample view shows every compound`);
  await page.keyboard.press('j');
  await shown(page, () => window.quanReview.state().sample === 1);
  await page.keyboard.press('k');
  await shown(page, () => window.quanReview.state().sample === 0);

  // Links: a compound's name in the sample view opens its compound view; the zoom opens and
  // Escape closes it.
  await page.click(`#panels .panel[data-e="${ENTRY}"] a.to-compound`);
  await shown(page, (e) => window.quanReview.state().mode === 'compound' && window.quanReview.state().entry === e, ENTRY);
  await page.click('#panels .panel a.to-zoom');
  await page.waitForFunction(() => !document.getElementById('zoom').hidden && !!document.querySelector('#zoom-plot canvas'),
                             {timeout: 15000});
  await page.keyboard.press('Escape');
  assert.equal(await page.evaluate(() => document.getElementById('zoom').hidden), true);
  assert.deepEqual(await page.evaluate(() => window.quanErrors), [], `${label}: no errors`);
}

// The panels as the page reads the station's pack equal, number for number, those of its JSON
// answer (decoded here); asked for with a list of samples, the pack holds those samples' only.
async function checkPack(page, compound, samples) {
  const all = samples.map((s, k) => k);
  const read = await page.evaluate(async (entry, list) => {
    const data = await window.quanReview.panels(entry, list);
    return data.panels.map((p) => ({s: p.s, e: p.e, is: p.is, pred: p.pred, lo: p.lo, hi: p.hi, peak: p.peak,
      tr: p.tr.map((t) => [t[0], t[1], t[2], Array.from(t[3]), Array.from(t[4]), t[3] instanceof Float32Array])}));
  }, ENTRY, all);
  const key = (p) => `${p.s}|${p.e}`;
  assert.deepEqual(read.map(key).sort(), compound.panels.map(key).sort(), 'the pack holds the panels of the JSON answer');
  for (const p of compound.panels) {
    const q = read.find((r) => key(r) === key(p));
    assert.deepEqual([q.is, q.pred, q.lo, q.hi, q.peak], [p.is, p.pred, p.lo, p.hi, p.peak], `panel ${key(p)}: its numbers`);
    assert.equal(q.tr.length, p.tr.length);
    p.tr.forEach((t, k) => {
      const [slot, trace, scale, times, values, viewed] = q.tr[k];
      assert.deepEqual([slot, trace, scale], [t[0], t[1], t[2]], `panel ${key(p)}, trace ${k}`);
      assert.ok(viewed, 'the values are viewed as float32, not copied into numbers');
      assert.deepEqual(times, floats(t[3]), `panel ${key(p)}, trace ${k}: the times`);
      assert.deepEqual(values, floats(t[4]), `panel ${key(p)}, trace ${k}: the intensities`);
    });
  }
  const some = await page.evaluate(async (entry) => (await window.quanReview.panels(entry, [2, 5])).panels.map((p) => p.s), ENTRY);
  assert.deepEqual([...new Set(some)].sort(), [2, 5], 'only the samples asked for');
}

// Showing a compound fetches the panels on screen of the compounds next to it; stepping to one
// takes them from there.
async function checkFetchedAhead(page) {
  await page.select('#review-compound', String(ENTRY));
  await shown(page, (e) => window.quanReview.state().entry === e && window.quanReview.state().plots > 0, ENTRY);
  await page.waitForFunction((e) => {
    const kept = window.quanReview.kept();
    return kept.pending.length === 0 && kept.panels.some((k) => k.endsWith('|' + (e + 1))) && kept.panels.some((k) => k.endsWith('|' + (e - 1)));
  }, {timeout: 15000}, ENTRY);
  const asked = [];
  const listen = (r) => { if (r.url().includes('/api/compound/')) asked.push(r.url()); };
  page.on('request', listen);
  await page.evaluate(() => document.activeElement && document.activeElement.blur());
  await page.keyboard.press('n');
  const state = await shown(page, (e) => window.quanReview.state().entry === e + 1 && window.quanReview.state().plots > 0, ENTRY);
  page.off('request', listen);
  assert.equal(state.fetchMs, 0, 'the next compound was at hand');
  assert.ok(!asked.some((u) => u.includes(`/api/compound/${ENTRY + 1}?`)), `nothing fetched for it: ${asked.join(' ')}`);

  // The pointer resting on a compound's link in the grid fetches that compound ahead.
  // (The sample views shown before keep samples 0 and 1 of every compound.)
  const far = 10;
  const keptOfFar = (e) => window.quanReview.kept().panels.some((k) => k.endsWith('|' + e) && !/^[01]\|/.test(k));
  assert.equal(await page.evaluate(keptOfFar, far), false, 'nothing of the compound is kept before');
  await page.evaluate(() => window.quanReport.filter(''));
  await page.hover(`#grid-rows a[data-e="${far}"]`);
  await page.waitForFunction(keptOfFar, {timeout: 15000}, far);
}

// What the compound's results are, from the grid rows and panels the page was given.
function expectations(batch, rows, panels) {
  const W = 14, samples = batch.samples, texts = batch.texts;
  const peaks = {}, areas = {};
  let flagged = 0;
  for (let o = 0; o < rows.length; o += W) {
    if (rows[o + 1] !== ENTRY) continue;
    const found = rows[o + 2] !== '', pass = texts[rows[o + 11]] === 'pass';
    if (found && !pass) flagged++;
    areas[rows[o]] = found ? parseFloat(rows[o + 3]) : null;
  }
  for (const p of panels) if (p.e === ENTRY && p.peak) peaks[p.s] = [p.peak[1], p.peak[2]];
  return {samples, peaks, flagged, areas, compounds: batch.compounds.length};
}

async function main() {
  const results = path.join(work, 'results');
  run(args.batch, ['--out', results, args.example]);
  browser = await launch(args.chromium, work);
  const page = await browser.newPage();
  await page.setViewport({width: 1400, height: 1000});

  // The review station.
  station = new Station(args.review, [results]);
  const url = await station.start();
  const api = (p) => station.get(p);
  await page.goto(url);
  await ready(page);
  const data = await api('/api/batch');
  const compound = await api(`/api/compound/${ENTRY}`);
  await checkViews(page, expectations(data.batch, data.rows, compound.panels), 'review station');
  await checkPack(page, compound, data.batch.samples);
  await checkFetchedAhead(page);
  if (args.screenshot) {
    await page.select('#review-compound', String(ENTRY));
    await shown(page, (e) => window.quanReview.state().entry === e && window.quanReview.state().plots > 0, ENTRY);
    await drawAll(page);
    const box = await page.$('#review');
    await box.screenshot({path: args.screenshot});
  }
  assert.equal(await station.stop(), 0, 'Ctrl-C stops the station cleanly');

  // The static report of the same run, without a server.
  const report = readFileSync(path.join(results, 'report.html'), 'utf8');
  const block = (id) => JSON.parse(new RegExp(`<script id="${id}" type="application/json">([\\s\\S]*?)</script>`).exec(report)[1]);
  const embedded = block('quan-chromatograms');
  assert.ok(Array.isArray(embedded.panels), 'the example batch is within the report\'s budget');
  await page.goto('file://' + path.join(results, 'report.html'));
  await ready(page);
  await checkViews(page, expectations(block('quan-batch'), block('quan-rows'), embedded.panels), 'static report');
  const note = await page.evaluate(() => document.getElementById('review-note').textContent);
  assert.match(note, /quan-review/, 'the report says how to open the review station');
}

main().then(async () => {
  await browser.close();
  rmSync(work, {recursive: true, force: true});
  console.log('review page tests passed');
}, async (e) => {
  console.error(e && e.stack || e);
  if (browser) await browser.close().catch(() => {});
  if (station) await station.stop();
  rmSync(work, {recursive: true, force: true});
  process.exit(1);
});
