// The review station's corrections timed on screen: from the reason's confirmation to the new
// values drawn (the page's own measure), for an unknown sample and for a standard, on a large
// batch's results. The station edits the results folder: give it a copy.
//
//   node bench/ReviewEditBench.mjs --review build/release/quan-review --results COPY --batch BATCH \
//        --chromium /usr/bin/chromium [--entry 21] [--unknown 150] [--standard 0] [--work /tmp/edit-bench]
//
// Every wait is bounded; changes are 3 s apart (an analyst's pace), so the station's background
// rewrite of its text outputs is not timed with the next change.
import {mkdirSync} from 'node:fs';
import path from 'node:path';
import {Station, launch, parseArgs, ready} from '../tests/browser/StationSupport.mjs';

const args = parseArgs(['review', 'results', 'batch', 'chromium']);
const entry = Number(args.entry || 21), unknown = Number(args.unknown || 150), standard = Number(args.standard || 0);
const work = args.work || '/tmp/edit-bench';
mkdirSync(work, {recursive: true});

const state = (page) => page.evaluate(() => window.quanReview.edit());
async function until(page, test, what, timeout, ...values) {
  try {
    await page.waitForFunction(test, {timeout, polling: 50}, ...values);
  } catch (e) {
    throw new Error(`${what}: ${e.message}`);
  }
}
async function zoom(page, sample) {
  if ((await state(page)).zoom) await page.keyboard.press('Escape');  // the zoom open before covers the panels
  await page.select('#review-compound', String(entry));
  await until(page, (e) => window.quanReview.state().entry === e && window.quanReview.state().plots > 0, 'compound view', 60000, entry);
  const zoomed = (s) => { const z = window.quanReview.edit().zoom; return !!window.quanReview.handles() && !!z && z.s === s; };
  for (let attempt = 1; attempt <= 4; ++attempt) {
    // Panels are drawn as they come into view: bring this one there first.
    const panel = await page.waitForSelector(`#panels .panel[data-s="${sample}"]`, {timeout: 60000});
    await panel.evaluate((p) => p.scrollIntoView({block: 'center'}));
    const link = await page.waitForSelector(`#panels .panel[data-s="${sample}"] a.to-zoom`, {timeout: 60000});
    await link.click();
    try {
      await page.waitForFunction(zoomed, {timeout: 10000, polling: 50}, sample);
      return;
    } catch (e) {
      if (attempt === 4) throw new Error(`the zoom of sample ${sample} did not open`);
    }
  }
}
async function change(page, button, what) {
  await new Promise((r) => setTimeout(r, 3000));
  const sent = (await state(page)).sent;
  await page.click(button);
  await until(page, () => window.quanReview.edit().dialog, 'the reason dialog', 10000);
  await page.evaluate(() => { const list = document.getElementById('reason-list'); list.selectedIndex = 1; list.dispatchEvent(new Event('change')); });
  await page.type('#reason-text', 'timing');
  await page.click('#reason-ok');
  await until(page, (n) => { const s = window.quanReview.edit(); return s.sent > n && !s.busy; }, 'the answer', 60000, sent);
  const now = await state(page);
  if (now.failed) throw new Error(`${what}: ${now.message}`);
  console.log(`${what}: ${now.lastMs.toFixed(0)} ms on screen (server ${now.serverMs})`);
}

const station = new Station(args.review, [args.results, '--batch', args.batch, '--user', 'bench']);
let browser = null;
try {
  await station.start();
  browser = await launch(args.chromium, work);
  const page = await browser.newPage();
  await page.setViewport({width: 1400, height: 1000});
  await page.goto(station.url, {timeout: 120000});
  await ready(page);
  await until(page, () => window.quanReview.edit().on || window.quanReview.edit().why, 'the station loads the batch', 600000);
  for (const [sample, who] of [[unknown, 'unknown sample'], [standard, 'standard']]) {
    await zoom(page, sample);
    await change(page, '#edit-none', `${who} ${sample}, entry ${entry}, no peak`);
    await zoom(page, sample);
    await change(page, '#edit-auto', `${who} ${sample}, entry ${entry}, automatic again`);
  }
} finally {
  if (browser) await browser.close();
  await station.stop();
}
