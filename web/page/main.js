// SPDX-License-Identifier: GPL-3.0-or-later
// The page's start and its wiring: the core, the window's fields and buttons, the clock, the
// map, the plots, the link and the files. <html data-state> says "ready" once the first city
// is on screen, or "failed" with a message when the page cannot run.

import { CensusTable, setText } from './censustable.js';
import { GenerationClock, Fastest, RunningFrameMs, WindowRate } from './clock.js';
import { Field, GroupNames, loadCore } from './core.js';
import { askStartOver, showInformation } from './dialogs.js';
import { saveMapPng, saveMeasuresCsv } from './files.js';
import { formatLink, parseLink } from './link.js';
import { MapView } from './mapview.js';
import { Plots } from './plots.js';

// The core first: fetching and compiling it is most of the wait for the first city.
const corePromise = loadCore();

const $ = (selector) => document.querySelector(selector);

// While the city runs, the date and the generation change at most this often.
const ReadoutMs = 100;
// A frame this near its time draws: animation frames come every 16.7 ms, give or take.
const FrameSlackMs = 4;

const page = {
    core: null,
    city: null,
    paused: false,
    samplesShown: 0,
    saidSamplingOver: false,
    framePending: false,
    readoutsStale: false,
    readoutsShownAt: -Infinity,
    mapShownAt: -Infinity,
    laterTimer: null,
};

const census = new CensusTable(document, applyPreference);
const clock = new GenerationClock(advance);
const plots = new Plots($('#same-plot'), $('#unrest-plot'), $('#summary'));
const mapView = new MapView($('#map'), onDrawn);

function pickSeed() {
    return crypto.getRandomValues(new Uint32Array(1))[0];
}

function say(text) {
    $('#notice').textContent = text;
}

function nextFrame() {
    return new Promise((resolve) => requestAnimationFrame(() => resolve()));
}

// Asks for one animation frame, if none is asked for yet: the page draws only when
// something changed, and a paused city costs nothing.
function scheduleFrame() {
    if (page.framePending)
        return;
    page.framePending = true;
    requestAnimationFrame(frame);
}

function frame(now) {
    page.framePending = false;
    drawMap(now);
    showReadouts(now);
    collectSamples();
    const later = plots.refresh();
    if (later > 0)
        frameAfter(later);
}

function drawMap(now) {
    const wait = page.paused ? 0 : RunningFrameMs - (now - page.mapShownAt);
    if (wait > FrameSlackMs) {
        frameAfter(wait - FrameSlackMs);   // so that the last generation of a run shows too
        return;
    }
    if (mapView.drawIfChanged(page.city))
        page.mapShownAt = now;
}

// A frame after `ms`, for something put off, should nothing ask for one before: one timer
// at a time, however many frames put something off.
function frameAfter(ms) {
    if (page.laterTimer !== null)
        return;
    page.laterTimer = setTimeout(() => {
        page.laterTimer = null;
        scheduleFrame();
    }, ms);
}

// The clock's work: generations of the current city.
function advance(generations) {
    const city = page.city;
    if (!city)
        return 0;
    const done = city.advance(generations);
    if (city.damaged) {
        pause();
        say('The map was found damaged and the generations stopped; Start Over From Scratch builds a new city.');
    }
    scheduleFrame();
    return done;
}

// Enter in a preference field or leaving it: the window's reading of the text.
function applyPreference(group, text) {
    const city = page.city;
    if (!city)
        return text;   // read when the first city is built
    const before = city.prefEighths(group);
    const shown = city.typePreference(group, text);
    if (city.prefEighths(group) !== before) {
        plots.mark(city.years, `${GroupNames[group - 1]} ${shown}`);
        scheduleFrame();
    }
    showLink();
    return shown;
}

// A new city from the seed and the preference fields' texts, as the window's construction
// reads them; the window's notice stands in place of the buttons meanwhile.
async function buildCity(seed) {
    if ($('#please-wait').hidden) {
        $('#please-wait').hidden = false;
        $('#buttons').hidden = true;
        await nextFrame();   // for the notice to show
    }
    const previous = page.city;
    page.city = page.core.newCity(seed, census.preferenceTexts());
    previous?.delete();
    census.showCity(page.city);
    plots.clear();
    page.samplesShown = 0;
    page.saidSamplingOver = false;
    $('#seed').value = String(page.city.seed);
    showLink();
    $('#please-wait').hidden = true;
    $('#buttons').hidden = false;
    $('#pause').focus({ preventScroll: true });
    scheduleFrame();
}

// The date and the generation of the map on show. While it runs they change at most ten
// times a second, which reads as well as sixty and costs a fraction to lay out and paint;
// paused, at once.
function showReadouts(now) {
    const city = page.city;
    if (!city || !page.readoutsStale)
        return;
    const wait = page.paused ? 0 : ReadoutMs - (now - page.readoutsShownAt);
    if (wait > 0) {
        frameAfter(wait);   // so that the last generation of a run shows too
        return;
    }
    census.showDate(city);
    setText($('#generation'), String(city.generation));
    page.readoutsStale = false;
    page.readoutsShownAt = now;
}

// The measures the city took since the last frame, for the plots. Only once they can be
// drawn: the first city is on screen before it is measured.
function collectSamples() {
    const city = page.city;
    if (!city || !plots.attached)
        return;
    for (const count = city.sampleCount; page.samplesShown < count; ++page.samplesShown)
        plots.add(city.sample(page.samplesShown));
}

// After every new picture of the map. The first makes the page ready.
function onDrawn(city) {
    page.readoutsStale = true;
    if (city.samplingOver && !page.saidSamplingOver) {
        page.saidSamplingOver = true;
        say('The calendar has ended (31 December 9999) and the date starts again at 2005; the city goes on, '
            + 'but no more measures are taken.');
    }
    if (document.documentElement.dataset.state === 'loading') {
        document.documentElement.dataset.state = 'ready';
        loadChartJs();
    }
}

// Chart.js only once the first city is on screen: it is the page's largest script.
function loadChartJs() {
    const script = document.createElement('script');
    script.src = 'chart.min.js';
    script.onload = () => {
        plots.attach(window.Chart);
        scheduleFrame();
    };
    script.onerror = () => say('The plots could not be loaded (chart.min.js is missing).');
    document.head.append(script);
}

function pause() {
    page.paused = true;
    clock.pause();
    scheduleFrame();   // the readouts of the last generation
    $('#step').disabled = false;
    showLink();
}

function resume() {
    page.paused = false;
    $('#step').disabled = true;
    clock.resume();
    showLink();
}

// Opens the city an address asks for, or a new one; the address's problems are said.
async function openLink(fragment) {
    const link = parseLink(fragment);
    link.prefTexts?.forEach((text, i) => { $(`#pref-${i + 1}`).value = text; });
    const seed = link.seed ?? pickSeed();
    await buildCity(seed);
    if (link.problems.length > 0)
        say(`${link.problems.join(' ')} ${link.seed === null ? 'A new seed was picked.' : ''}`.trim());
    else
        say('');
    if (link.paused)
        pause();
    else
        resume();
}

// The address of the current city, its preferences and whether it is paused.
function currentLink() {
    const city = page.city;
    const texts = GroupNames.map((_, i) => city.field(Field.Preference, i + 1));
    return `${location.href.split('#')[0]}${formatLink(city.seed, texts, page.paused)}`;
}

function showLink() {
    if (page.city)
        $('#link').value = currentLink();
}

async function copyLink() {
    if (!page.city)
        return;
    showLink();
    const address = $('#link').value;
    try {
        await navigator.clipboard.writeText(address);
        say('Link copied: it opens this city with these preferences.');
    } catch {
        $('#link').select();
        say('Copy the link from the field below the button.');
    }
}

function wireControls() {
    $('#pause').addEventListener('click', pause);
    $('#continue').addEventListener('click', resume);
    $('#step').addEventListener('click', () => {
        if (page.paused)
            advance(1);
    });
    $('#start-over').addEventListener('click', async () => {
        if (await askStartOver($('#start-over-dialog'))) {
            await buildCity(pickSeed());
            say('');
        }
    });
    $('#display-more').addEventListener('click', () => showInformation($('#more-info')));
    for (const radio of document.querySelectorAll('input[name="speed"]')) {
        radio.addEventListener('change', () => {
            clock.setRate(radio.value === 'fastest' ? Fastest : Number(radio.value));
        });
    }
    $('#copy-link').addEventListener('click', copyLink);
    $('#save-png').addEventListener('click', async () => {
        if (page.city)
            say(`Saved ${await saveMapPng(page.city) ?? 'nothing: the browser made no picture'}.`);
    });
    $('#save-csv').addEventListener('click', () => {
        if (page.city)
            say(`Saved ${saveMeasuresCsv(page.city)}.`);
    });
    // Pasting another city's address into this tab opens it.
    window.addEventListener('hashchange', () => openLink(location.hash));
}

async function start() {
    clock.setRate(WindowRate);
    wireControls();
    try {
        page.core = await corePromise;
    } catch (error) {
        document.documentElement.dataset.state = 'failed';
        say(`The page could not start (${error.message ?? error}). It must be opened from a web server, `
            + 'such as the one scripts/run --web starts, in a browser with WebAssembly.');
        return;
    }
    await openLink(location.hash);
}

start();
