// Corrections made on the review station's page, in a real browser (Debian's chromium, headless,
// driven by puppeteer-core), on a copy of the example batch's results:
//  - a peak's end dragged with the mouse on the zoomed panel, with a reason: the stored area is
//    the area of the stored points between the new bounds above the baseline, integrated here;
//    the trail has the change; the concentration follows the curve; the result is marked
//    manual; and quan-batch --integrations on a fresh run writes the same results.csv;
//  - a standard excluded on the calibration view: the curve is the one quan-batch fits without
//    that point;
//  - refusals: the dialog refuses an empty reason, and a change made on a stale version (another
//    change was made meanwhile) shows the station's message and the page reloads;
//  - panels the page keeps across views are not shown once the results changed: a compound shown
//    again after a change, or after the reload, draws the new peaks.
//
//   node ReviewEditTest.mjs --batch QUAN_BATCH --review QUAN_REVIEW --example BATCH_FOLDER --chromium CHROMIUM
// Exits 77 (skipped) when the station serves no corrections at all (no /api/state).
import {cpSync, mkdtempSync, readFileSync, rmSync, writeFileSync} from 'node:fs';
import {spawnSync} from 'node:child_process';
import {tmpdir} from 'node:os';
import path from 'node:path';
import assert from 'node:assert/strict';
import {Station, floats, launch, parseArgs, ready, run} from './StationSupport.mjs';

const args = parseArgs(['batch', 'review', 'example', 'chromium']);
const ENTRY = 3;  // an analyte with an internal standard and a calibrated curve
const W = 14;     // values of one grid row
const SKIPPED = 77;
const work = mkdtempSync(path.join(tmpdir(), 'quan-review-edit-'));
let station = null, browser = null;
const timings = {};

// ---- independent arithmetic ----------------------------------------------------------------

// The trace's intensity at time `at`, linear between the two points around it.
function intensityAt(times, values, at) {
  for (let i = 0; i + 1 < times.length; i++)
    if (times[i] <= at && at <= times[i + 1])
      return times[i + 1] === times[i] ? values[i] : values[i] + (values[i + 1] - values[i]) * (at - times[i]) / (times[i + 1] - times[i]);
  throw new Error(`${at} is outside the trace`);
}
// Trapezoids of the points from start to end (bounds interpolated when between points) above the
// straight baseline from (start, baselineStart) to (end, baselineEnd); times in minutes, the area
// in intensity x seconds.
function areaAbove(times, values, start, end, baselineStart, baselineEnd) {
  const points = [[start, intensityAt(times, values, start)]];
  times.forEach((t, i) => { if (t > start && t < end) points.push([t, values[i]]); });
  points.push([end, intensityAt(times, values, end)]);
  const line = (t) => baselineStart + (baselineEnd - baselineStart) * (t - start) / (end - start);
  let area = 0;
  for (let i = 0; i + 1 < points.length; i++) {
    const [t0, y0] = points[i], [t1, y1] = points[i + 1];
    area += 0.5 * (t1 - t0) * ((y0 - line(t0)) + (y1 - line(t1)));
  }
  return area * 60;
}
// Equal to the figures results.csv prints (a relative 1e-5 covers six significant figures).
function near(actual, expected, what, relative = 1e-5) {
  assert.ok(Math.abs(actual - expected) <= relative * Math.max(Math.abs(expected), 1e-12),
            `${what}: ${actual}, expected ${expected}`);
}

// ---- the results -----------------------------------------------------------------------------

function rowOf(rows, sample, entry) {
  for (let o = 0; o < rows.length; o += W) if (rows[o] === sample && rows[o + 1] === entry) return rows.slice(o, o + W);
  throw new Error(`no row for sample ${sample}, entry ${entry}`);
}
function sqliteJson(database, sql) {
  const result = spawnSync('sqlite3', ['-json', '-readonly', database, sql], {encoding: 'utf8', timeout: 30000});
  assert.equal(result.status, 0, `sqlite3: ${result.stderr}`);
  return result.stdout.trim() ? JSON.parse(result.stdout) : [];
}
// A result as results.sqlite keeps it (samples there count from 1).
function storedResult(folder, sample, entry) {
  const rows = sqliteJson(path.join(folder, 'results.sqlite'),
                          `SELECT area, response, concentration, flag_letters FROM results WHERE sample = ${sample + 1} AND entry = ${entry}`);
  assert.equal(rows.length, 1, `one result for sample ${sample}, entry ${entry} in ${folder}`);
  return rows[0];
}
// A curve's stored numbers, without its packed record (compared as a whole elsewhere).
function curveRow(folder, entry) {
  const rows = sqliteJson(path.join(folder, 'results.sqlite'), `SELECT * FROM curves WHERE entry = ${entry}`);
  assert.equal(rows.length, 1, `one curve for entry ${entry} in ${folder}`);
  const row = rows[0];
  delete row.record;
  return row;
}

// ---- the page --------------------------------------------------------------------------------

const editState = (page) => page.evaluate(() => window.quanReview.edit());
async function waitFor(page, test, what, ...values) {
  try {
    await page.waitForFunction(test, {timeout: 20000, polling: 50}, ...values);
  } catch (e) {
    throw new Error(`${what}: ${e.message}; edit state ${JSON.stringify(await editState(page))}`);
  }
}
async function openZoom(page, sample) {
  await page.select('#review-compound', String(ENTRY));
  await waitFor(page, (e) => window.quanReview.state().entry === e && window.quanReview.state().plots > 0, 'compound view', ENTRY);
  // The panels are drawn as they come into view and drawn again as answers come: a click that
  // lands while its panel is being replaced is lost, so it is given again (a bounded number of times).
  const zoomed = (s) => { const h = window.quanReview.handles(); const z = window.quanReview.edit().zoom; return !!h && !!z && z.s === s; };
  for (let attempt = 1; ; ++attempt) {
    const link = await page.waitForSelector(`#panels .panel[data-s="${sample}"] a.to-zoom`, {timeout: 20000});
    await link.click();
    try {
      await page.waitForFunction(zoomed, {timeout: 5000, polling: 50}, sample);
      break;
    } catch (e) {
      if (attempt < 4) continue;
      await waitFor(page, zoomed, 'the zoomed panel with its handles', sample);
      break;
    }
  }
  return page.evaluate(() => window.quanReview.handles());
}
// Fills in the open reason dialog and confirms it; resolves once the change was answered.
async function giveReason(page, listed, own) {
  await waitFor(page, () => window.quanReview.edit().dialog, 'the reason dialog opens');
  const sent = (await editState(page)).sent;
  if (listed) await page.select('#reason-list', listed);
  if (own) await page.type('#reason-text', own);
  await page.click('#reason-ok');
  await waitFor(page, (n) => { const s = window.quanReview.edit(); return s.sent > n && !s.busy; }, 'the change is answered', sent);
  return editState(page);
}
// The peak the compound view draws for a sample (every panel drawn first).
async function shownPeak(page, sample) {
  await waitFor(page, (e) => window.quanReview.state().entry === e && window.quanReview.state().plots > 0, 'the compound view', ENTRY);
  await page.evaluate(() => window.quanReview.drawAll());
  const plot = (await page.evaluate(() => window.quanReview.plots())).find((p) => p.sample === sample && p.entry === ENTRY && p.role === 'main');
  assert.ok(plot, `sample ${sample}'s panel is drawn`);
  return plot;
}
// The grid's row of a result as shown: its cells' texts and whether it is marked manual.
async function gridRow(page, sampleId, compound) {
  return page.evaluate((sampleId, compound) => {
    window.quanReport.filter(sampleId);
    for (const row of document.querySelectorAll('#grid-rows .row')) {
      const cells = Array.from(row.children).map((c) => c.firstChild ? c.firstChild.textContent : '');
      if (cells[0] === sampleId && cells[2] === compound)
        return {cells, manual: row.classList.contains('manual') && !!row.querySelector('.manual-tag')};
    }
    return null;
  }, sampleId, compound);
}

// ---- the checks ------------------------------------------------------------------------------

async function dragEnd(page, results, batch, reasons, sample) {
  const sampleId = batch.samples[sample][0];
  const name = batch.compounds.find((c) => c[0] === ENTRY)[1];
  const before = await station.get('/api/state');
  const stored = (await station.get(`/api/compound/${ENTRY}?samples=${sample}`)).panels.find((p) => p.e === ENTRY && p.s === sample);
  const trace = stored.tr.find((t) => t[0] === 0);
  const [times, values] = [floats(trace[3]), floats(trace[4])];
  const handles = await openZoom(page, sample);
  assert.equal(handles.start, stored.peak[1], 'the start handle stands at the stored StartRT');
  assert.equal(handles.end, stored.peak[2], 'the end handle stands at the stored EndRT');

  // The end three points earlier, with real mouse events on the canvas.
  const endPoint = times.indexOf(handles.end), startPoint = times.indexOf(handles.start);
  assert.ok(endPoint - 3 > startPoint + 1, 'the peak is wide enough to move its end');
  const target = times[endPoint - 3];
  const x = (t) => handles.left + (t - handles.xMin) / (handles.xMax - handles.xMin) * handles.width;
  const bodies = [];
  page.on('request', (r) => { if (r.url().endsWith('/api/integration') && r.method() === 'POST') bodies.push(JSON.parse(r.postData())); });
  await page.mouse.move(handles.endX, handles.top + 6);
  await page.mouse.down();
  await page.mouse.move(x(target), handles.top + 6, {steps: 6});
  await page.mouse.up();
  await waitFor(page, () => window.quanReview.edit().dialog, 'the reason dialog opens on the drop');

  // An empty reason is refused in the page: nothing is sent.
  await page.click('#reason-ok');
  assert.match(await page.$eval('#reason-error', (e) => e.textContent), /reason is required/);
  let state = await editState(page);
  assert.ok(state.dialog && state.sent === 0 && bodies.length === 0, 'no change is sent without a reason');
  assert.equal((await station.get('/api/state')).version, before.version, 'nothing changed at the station');

  state = await giveReason(page, reasons[0], 'tail cut by the drag test');
  assert.equal(state.failed, false, `the change was applied: ${state.message}`);
  assert.equal(state.version, before.version + 1);
  timings.unknownMs = state.lastMs;
  const reason = `${reasons[0]}: tail cut by the drag test`;

  // What was sent: the end on the point it was dragged to, the start and its baseline kept, the
  // moved end's baseline on the trace (left to the station).
  assert.equal(bodies.length, 1);
  const body = bodies[0];
  assert.deepEqual([body.kind, body.sample, body.entry, body.slot, body.start, body.end, body.baselineStart, body.baselineEnd, body.reason],
                   ['bounds', sample, ENTRY, 0, stored.peak[1], target, stored.peak[3], undefined, reason]);
  assert.equal(body.version, before.version);

  // The new area is the stored points' area between the bounds.
  const baselineEnd = intensityAt(times, values, target);
  const expectedArea = areaAbove(times, values, stored.peak[1], target, stored.peak[3], baselineEnd);
  const {batch: after, rows} = await station.get('/api/batch');
  const newRow = rowOf(rows, sample, ENTRY);
  const oldResult = storedResult(path.join(work, 'results-before'), sample, ENTRY), newResult = storedResult(results, sample, ENTRY);
  near(newResult.area, expectedArea, 'the stored area', 1e-9);
  assert.ok(expectedArea < oldResult.area, 'a peak cut shorter has less area');
  const panel = (await station.get(`/api/compound/${ENTRY}?samples=${sample}`)).panels.find((p) => p.e === ENTRY && p.s === sample);
  near(panel.peak[2], target, 'the stored EndRT', 1e-6);
  near(panel.peak[4], baselineEnd, 'the stored baseline at the end', 1e-6);

  // Requantified: the internal standard is untouched, so the response scales with the area, and
  // the concentration is the curve's at that response.
  near(newResult.response, oldResult.response * newResult.area / oldResult.area, 'the response', 1e-9);
  near(newResult.concentration, concentrationOf(curveRow(results, ENTRY), newResult.response), 'the concentration from the curve', 1e-9);
  assert.match(newResult.flag_letters, /M/, 'the stored detection flags say modified');

  // Marked manual in the results, the grid and under the zoomed panel.
  assert.match(after.texts[newRow[10]], /M/, 'the detection flags say modified');
  const shown = await gridRow(page, sampleId, name);
  assert.ok(shown && shown.manual, 'the grid marks the row manual');
  assert.equal(shown.cells[4], newRow[3], 'the grid shows the new area');
  assert.match(await page.$eval('#zoom-values', (e) => e.textContent), /manual/);
  // Away to the next compound (whose panels were fetched ahead) and back: the new end is shown.
  await page.keyboard.press('Escape');
  await page.evaluate(async (e) => { await window.quanReview.showCompound(e + 1); await window.quanReview.showCompound(e); }, ENTRY);
  near((await shownPeak(page, sample)).peak[2], target, 'the compound shown again draws the new EndRT', 1e-6);

  // The trail.
  const trail = (await station.get('/api/audit')).rows;
  assert.equal(trail.length, before.version + 1);
  const last = trail[trail.length - 1];
  assert.equal(last.reason, reason);
  assert.ok(last.sample === sample || last.sample === sampleId, `the trail names the sample (${last.sample})`);
  assert.ok(last.compound === name || last.compound === ENTRY, `the trail names the compound (${last.compound})`);
  assert.equal(await page.$$eval('#audit table.audit tr[data-id]', (r) => r.length), trail.length, 'the page lists the trail');

  // Rebuilt from the raw data with the recorded decision: the same results.csv.
  const fresh = path.join(work, 'fresh-integrations');
  run(args.batch, ['--out', fresh, '--integrations', path.join(results, 'integrations.csv'), args.example]);
  assert.equal(readFileSync(path.join(fresh, 'results.csv'), 'utf8'), readFileSync(path.join(results, 'results.csv'), 'utf8'),
               'quan-batch --integrations gives the station\'s results.csv');
  await page.keyboard.press('Escape');
  return {sample, area: oldResult.area};
}

// The concentration a curve gives a response: the stored coefficients of a straight line (or a
// response factor), in the curve's own units.
function concentrationOf(curve, response) {
  assert.ok(Number.isFinite(curve.c1) && curve.c1 !== 0 && !curve.c2, `a straight-line curve: ${JSON.stringify(curve)}`);
  return (response - (Number.isFinite(curve.c0) ? curve.c0 : 0)) / curve.c1;
}

async function excludeStandard(page, results, batch, reasons) {
  const points = () => page.evaluate((e) => window.quanReport.calibration(e), ENTRY);
  await page.select('#compound', String(ENTRY));
  const before = await points();
  const curve = batch.curves.find((c) => c.entry === ENTRY);
  const included = curve.points.filter((p) => p[2] === 0);
  assert.ok(included.length >= 4, 'the curve has points to spare');
  const standard = included[Math.floor(included.length / 2)][4];
  await page.click(`svg.calibration-plot circle[data-standard="${standard}"]`);
  const state = await giveReason(page, '', 'pipetting error in the exclusion test');
  assert.equal(state.failed, false, `the exclusion was applied: ${state.message}`);
  timings.standardMs = state.lastMs;
  const now = await points();
  assert.equal(now.excluded, before.excluded + 1, 'the point is drawn excluded');

  // The engine's own fit without that point: quan-batch with the same decisions, from the raw data.
  const fresh = path.join(work, 'fresh-exclusions');
  const exclusions = path.join(work, 'exclusions.csv');
  const name = batch.compounds.find((c) => c[0] === ENTRY)[1];
  writeFileSync(exclusions, `Compound,Standard,Reason\n${name},${standard},pipetting error in the exclusion test\n`);
  run(args.batch, ['--out', fresh, '--exclusions', exclusions, '--integrations', path.join(results, 'integrations.csv'), args.example]);
  const expected = curveRow(fresh, ENTRY), stored = curveRow(results, ENTRY), unchanged = curveRow(path.join(work, 'results-before'), ENTRY);
  const fitted = Object.keys(expected).filter((k) => /^c\d$/.test(k) || k === 'coefficient_of_determination' || k === 'calibrated');
  for (const column of fitted)
    if (expected[column] === null) assert.equal(stored[column], null, `the refit curve's ${column}`);
    else near(stored[column], expected[column], `the refit curve's ${column}`, 1e-9);
  assert.ok(fitted.some((k) => expected[k] !== unchanged[k]), 'the curve did change');
}

async function staleVersion(page, results, batch, reasons, edited) {
  const state = await editState(page);
  // Another analyst's change, behind the page's back.
  const other = batch.samples.findIndex((s, k) => k !== edited.sample && s[1] !== 'Standard' && rowOf(batch.rows, k, ENTRY)[2] !== '');
  // The compound's panels drawn (and so kept by the page) before the change.
  await page.evaluate((e) => window.quanReview.showCompound(e), ENTRY);
  assert.notEqual((await shownPeak(page, other)).peak, null, 'the panel has its peak before the change');
  const answer = await station.request('/api/integration', {version: state.version, sample: other, entry: ENTRY, slot: 0, kind: 'none',
                                                            reason: 'changed behind the page'});
  assert.equal(answer.status, 200, `the change through the interface: ${JSON.stringify(answer.json)}`);
  // The page, still on the old version, restores the automatic peak: refused.
  const refusals = [];
  page.on('response', async (r) => {
    if (r.url().endsWith('/api/integration') && r.status() === 409) refusals.push((await r.json()).error);
  });
  await openZoom(page, edited.sample);
  await page.click('#edit-auto');
  let now = await giveReason(page, reasons[0], '');
  assert.equal(refusals.length, 1, 'the station refused the stale change');
  assert.ok(now.failed && now.message.includes(refusals[0]), `the page shows the station's message: ${now.message}`);
  assert.equal(await page.$eval('#edit-message', (e) => !e.hidden && e.className === 'why'), true);
  await waitFor(page, (v) => window.quanReview.edit().version === v, 'the page reloads the version', state.version + 1);
  const shown = await gridRow(page, batch.samples[other][0], batch.compounds.find((c) => c[0] === ENTRY)[1]);
  assert.ok(shown && shown.manual && shown.cells[3] === '', 'the page shows the other change (no peak, manual)');
  assert.equal((await shownPeak(page, other)).peak, null, 'the panel drawn after the reload has no peak, as the station now says');

  // Again, on the current version: the integrator's peak is back.
  await openZoom(page, edited.sample);
  await page.click('#edit-auto');
  now = await giveReason(page, reasons[0], '');
  assert.equal(now.failed, false, `restored: ${now.message}`);
  near(storedResult(results, edited.sample, ENTRY).area, edited.area, 'the automatic area is back', 1e-9);
}

async function main() {
  const results = path.join(work, 'results');
  run(args.batch, ['--out', results, args.example]);
  cpSync(results, path.join(work, 'results-before'), {recursive: true});
  station = new Station(args.review, [results]);
  await station.start();
  const probe = await station.request('/api/state');
  if (probe.status === 404) {
    console.log('skipped: this review station makes no corrections (it has no /api/state)');
    return SKIPPED;
  }
  browser = await launch(args.chromium, work);
  const page = await browser.newPage();
  await page.setViewport({width: 1400, height: 1000});
  const errors = [];
  page.on('pageerror', (e) => errors.push(e.message));
  await page.goto(station.url);
  await ready(page);
  await waitFor(page, () => window.quanReview.edit().on || window.quanReview.edit().why, 'the station says whether it edits');
  const state = await editState(page);
  assert.ok(state.on, `the station edits the example batch: ${state.why}`);
  const {reasons} = await station.get('/api/reasons');
  assert.ok(reasons.length > 0, 'the station lists reasons');
  const {batch, rows} = await station.get('/api/batch');
  batch.rows = rows;
  // An unknown sample with a peak of the compound.
  const sample = batch.samples.findIndex((s, k) => s[1] === 'Analyte' && rowOf(rows, k, ENTRY)[2] !== '');
  assert.ok(sample >= 0, 'an unknown sample has a peak');

  const edited = await dragEnd(page, results, batch, reasons, sample);
  await excludeStandard(page, results, batch, reasons);
  await staleVersion(page, results, batch, reasons, edited);
  assert.deepEqual(errors.concat(await page.evaluate(() => window.quanErrors)), [], 'no errors in the page');
  assert.equal(await station.stop(), 0, 'Ctrl-C stops the station cleanly');
  console.log(`edit to screen: ${timings.unknownMs.toFixed(0)} ms for an unknown sample, ${timings.standardMs.toFixed(0)} ms for a standard`);
  return 0;
}

main().then(async (code) => {
  if (browser) await browser.close();
  await station.stop();
  rmSync(work, {recursive: true, force: true});
  if (code === 0) console.log('review edit tests passed');
  process.exit(code);
}, async (e) => {
  console.error(e && e.stack || e);
  if (browser) await browser.close().catch(() => {});
  if (station) await station.stop();
  rmSync(work, {recursive: true, force: true});
  process.exit(1);
});
