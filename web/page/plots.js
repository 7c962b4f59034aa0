// SPDX-License-Identifier: GPL-3.0-or-later
// The measures over the years, beside the map: the same-group share of each group and of all
// residents, and the dissatisfied share with the dissimilarity index. A point per sample the
// city takes (as the Lab samples), a mark where the preferences changed.

import { ChangeMarks } from './changemarks.js';
import { GroupNames } from './core.js';

// Lines in the groups' hues, darkened where the map's own colour is too light to read on
// white; all residents in black.
const GroupLineColours = ['#0000ff', '#d40000', '#007a00', '#6b6b6b', '#8a7300'];
const AllColour = '#000000';
const DissatisfiedColour = '#b3261e';
const DissimilarityColour = '#1f4e9c';
const TextColour = '#1a1a1a';
const GridColour = '#d9d9d9';
// Years shown before the run has lasted that long, so the first points do not fill the plot.
const FirstYears = 10;
// Redrawn at most once a second, however fast samples arrive: a plot that grows by the second
// reads as live, and each redraw of both costs Chromium as much as several frames of the map.
const RedrawMs = 1000;
const Percent = 100;

function line(label, colour, extra = {}) {
    return {
        label,
        data: [],
        borderColor: colour,
        backgroundColor: colour,
        borderWidth: 2,
        pointRadius: 0,
        pointHitRadius: 4,
        ...extra,
    };
}

function options(title, yTitle, extraScales = {}) {
    return {
        animation: false,
        responsive: true,
        maintainAspectRatio: false,
        parsing: false,
        normalized: true,
        spanGaps: false,
        interaction: { mode: 'nearest', axis: 'x', intersect: false },
        scales: {
            x: {
                type: 'linear', min: 0, suggestedMax: FirstYears,
                title: { display: true, text: 'Years', color: TextColour },
                ticks: { color: TextColour }, grid: { color: GridColour },
            },
            y: {
                min: 0, max: Percent,
                title: { display: true, text: yTitle, color: TextColour },
                ticks: { color: TextColour }, grid: { color: GridColour },
            },
            ...extraScales,
        },
        plugins: {
            title: { display: true, text: title, color: TextColour, font: { size: 14 } },
            legend: { labels: { color: TextColour, boxWidth: 14, boxHeight: 2 } },
            decimation: { enabled: true, algorithm: 'min-max' },
            changeMarks: { marks: [] },
        },
    };
}

export class Plots {
    // The points and marks are kept from the start; the charts come when Chart.js has
    // loaded (attach), which the page puts off until the first city is on screen.
    constructor(sameCanvas, unrestCanvas, summary) {
        this.canvases = { same: sameCanvas, unrest: unrestCanvas };
        this.summary = summary;
        this.charts = [];
        this.clear();
    }

    attach(Chart) {
        Chart.defaults.font.family = 'system-ui, sans-serif';
        this.same = new Chart(this.canvases.same, {
            type: 'line',
            data: {
                datasets: [
                    ...GroupNames.map((name, i) => line(name, GroupLineColours[i])),
                    line('All residents', AllColour, { borderWidth: 3, borderDash: [6, 3] }),
                ],
            },
            options: options('Neighbours of the same group', 'Share of neighbours (%)'),
            plugins: [ChangeMarks],
        });
        this.unrest = new Chart(this.canvases.unrest, {
            type: 'line',
            data: {
                datasets: [
                    line('Dissatisfied residents (%)', DissatisfiedColour),
                    line('Dissimilarity index', DissimilarityColour, { yAxisID: 'index' }),
                ],
            },
            options: options('Dissatisfied and dissimilarity', 'Dissatisfied (%)', {
                index: {
                    position: 'right', min: 0, max: 1,
                    title: { display: true, text: 'Dissimilarity index', color: TextColour },
                    ticks: { color: TextColour }, grid: { drawOnChartArea: false },
                },
            }),
            plugins: [ChangeMarks],
        });
        this.charts = [this.same, this.unrest];
        this.stale = true;
    }

    get attached() {
        return this.charts.length > 0;
    }

    // A new city: no points and no marks.
    clear() {
        // Same-group share of each group, then of all residents; dissatisfied; dissimilarity.
        this.series = { same: Array.from({ length: GroupNames.length + 1 }, () => []), unrest: [[], []] };
        this.marks = [];
        this.latest = null;
        this.stale = true;
        this.drawnAt = -Infinity;   // the old city's lines go at once, not in up to a second
        this.summary.textContent = '';
    }

    // A row of measures.csv, by column name.
    add(row) {
        const x = row.years;
        const point = (value, scale = Percent) => ({ x, y: value === null ? null : value * scale });
        const { same, unrest } = this.series;
        GroupNames.forEach((name, i) => same[i].push(point(row[`same_share_${name.toLowerCase()}`])));
        same[GroupNames.length].push(point(row.same_share_all));
        unrest[0].push(point(row.dissatisfied_all));
        unrest[1].push(point(row.dissimilarity, 1));
        this.latest = row;
        this.stale = true;
    }

    // A mark at `years` with its label, on both plots.
    mark(years, label) {
        const last = this.marks[this.marks.length - 1];
        if (last && last.years === years)
            last.label = `${last.label}, ${label}`;
        else
            this.marks.push({ years, label });
        this.stale = true;
    }

    // Redraws what changed, at most every RedrawMs: 0 when nothing is left to draw, else
    // how many milliseconds until the rest may be drawn.
    refresh(now = performance.now()) {
        if (!this.stale || this.charts.length === 0)
            return 0;
        if (now - this.drawnAt < RedrawMs)
            return RedrawMs - (now - this.drawnAt);
        const series = [this.series.same, this.series.unrest];
        this.charts.forEach((chart, c) => {
            chart.data.datasets.forEach((set, i) => { set.data = series[c][i]; });
            chart.options.plugins.changeMarks.marks = this.marks;
            chart.update('none');
        });
        this.showSummary();
        this.stale = false;
        this.drawnAt = now;
        return 0;
    }

    showSummary() {
        const row = this.latest;
        if (!row)
            return;
        const percent = (value) => (value === null ? 'undefined' : `${(value * Percent).toFixed(1)} %`);
        const index = row.dissimilarity === null ? 'undefined' : row.dissimilarity.toFixed(3);
        this.summary.textContent = `After ${row.years.toFixed(1)} years: ${percent(row.same_share_all)} of neighbours `
            + `in the same group, ${percent(row.dissatisfied_all)} dissatisfied, dissimilarity ${index}.`;
    }
}
