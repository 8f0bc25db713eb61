// What the browser tests share: the command-line arguments, running the batch, a review station
// started on 127.0.0.1 (its address read from its first lines, stopped with SIGINT and, when it
// does not stop, SIGKILL), headless Chromium through puppeteer-core, and waiting for the page.
// Every wait is bounded.
import {spawn, spawnSync} from 'node:child_process';
import {createRequire} from 'node:module';
import path from 'node:path';
import assert from 'node:assert/strict';

const require = createRequire(new URL('../../web/package.json', import.meta.url));
export const puppeteer = require('puppeteer-core');

export function parseArgs(needed) {
  const args = {};
  for (let i = 2; i + 1 < process.argv.length; i += 2) args[process.argv[i].replace(/^--/, '')] = process.argv[i + 1];
  for (const need of needed) assert.ok(args[need], `--${need} is required`);
  return args;
}

// A command that must succeed (quan-batch's 4 says some results are flagged: still a run).
export function run(command, list) {
  const result = spawnSync(command, list, {encoding: 'utf8', timeout: 180000});
  assert.ok(result.status === 0 || result.status === 4, `${command} ${list.join(' ')} failed (${result.status}): ${result.stderr}`);
  return result.stdout;
}

export class Station {
  constructor(binary, list) {
    this.binary = binary;
    this.list = list;
    this.process = null;
    this.err = '';
  }
  // Resolves with the page's address once quan-review printed it.
  start() {
    return new Promise((resolve, reject) => {
      const station = this.process = spawn(this.binary, this.list, {stdio: ['ignore', 'pipe', 'pipe']});
      let out = '';
      const timer = setTimeout(() => reject(new Error('quan-review printed no address: ' + out + this.err)), 30000);
      station.stdout.on('data', (d) => {
        out += d;
        const url = /http:\/\/127\.0\.0\.1:\d+\/\?token=[0-9a-f]{32}/.exec(out);
        if (url) {
          clearTimeout(timer);
          this.url = url[0];
          this.token = new URL(url[0]).searchParams.get('token');
          resolve(url[0]);
        }
      });
      station.stderr.on('data', (d) => { this.err += d; });
      station.on('exit', (code) => { clearTimeout(timer); reject(new Error(`quan-review ended (${code}): ${this.err}`)); });
    });
  }
  // The answer to a request: status and JSON body.
  async request(address, body) {
    const options = {headers: {'X-Quan-Token': this.token}};
    if (body !== undefined) {
      options.method = 'POST';
      options.headers['Content-Type'] = 'application/json';
      options.body = JSON.stringify(body);
    }
    const answer = await fetch(new URL(address, this.url), {...options, signal: AbortSignal.timeout(30000)});
    const text = await answer.text();
    let json = null;
    try { json = JSON.parse(text); } catch { json = {text}; }
    return {status: answer.status, json};
  }
  async get(address) {
    const answer = await this.request(address);
    assert.equal(answer.status, 200, `GET ${address}: ${JSON.stringify(answer.json)}`);
    return answer.json;
  }
  stop() {
    const station = this.process;
    return new Promise((resolve) => {
      if (!station || station.exitCode !== null) return resolve(station ? station.exitCode : 0);
      const timer = setTimeout(() => { station.kill('SIGKILL'); resolve(-1); }, 10000);
      station.removeAllListeners('exit');
      station.on('exit', (code) => { clearTimeout(timer); resolve(code); });
      station.kill('SIGINT');
    });
  }
}

export function launch(chromium, work) {
  return puppeteer.launch({
    executablePath: chromium, headless: true,
    args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run', '--disable-background-networking',
           '--disable-component-update', '--disable-sync', `--user-data-dir=${path.join(work, 'profile')}`],
  });
}

export async function ready(page) {
  await page.waitForFunction(() => document.body.hasAttribute('data-ready-ms') || window.quanErrors.length, {timeout: 30000});
  assert.deepEqual(await page.evaluate(() => window.quanErrors), [], 'the page ran without errors');
}

// The stored float32 arrays of a panel's trace (base64, little-endian), as numbers.
export function floats(base64) {
  const bytes = Buffer.from(base64, 'base64');
  const out = [];
  for (let o = 0; o + 4 <= bytes.length; o += 4) out.push(bytes.readFloatLE(o));
  return out;
}
