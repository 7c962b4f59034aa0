// SPDX-License-Identifier: GPL-3.0-or-later
// Saving: the map as a PNG of one pixel per home, the measures taken so far as measures.csv
// in the Lab's columns and number format.

import { mapPicture } from './mapview.js';

// The stem of a saved file: which city and how far it ran.
function stem(city) {
    return `velmora-seed-${city.seed}-generation-${city.generation}`;
}

function download(blob, name) {
    const url = URL.createObjectURL(blob);
    const link = document.createElement('a');
    link.href = url;
    link.download = name;
    document.body.append(link);
    link.click();
    link.remove();
    // Long enough for the browser to have started reading it.
    setTimeout(() => URL.revokeObjectURL(url), 60_000);
}

export function saveMapPng(city) {
    const name = `${stem(city)}.png`;
    return new Promise((resolve) => {
        mapPicture(city).toBlob((blob) => {
            if (blob)
                download(blob, name);
            resolve(blob ? name : null);
        }, 'image/png');
    });
}

export function saveMeasuresCsv(city) {
    const name = `${stem(city)}-measures.csv`;
    download(new Blob([city.measuresCsv()], { type: 'text/csv' }), name);
    return name;
}
