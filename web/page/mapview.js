// SPDX-License-Identifier: GPL-3.0-or-later
// The map on its canvas, one pixel per home, drawn from the city's current map when it has
// changed (the page asks once per animation frame); CSS scales it by a whole number and keeps
// it crisp.

import { MapSide } from './core.js';

export class MapView {
    // `onDrawn(city)` runs after each new picture.
    constructor(canvas, onDrawn) {
        this.canvas = canvas;
        this.context = canvas.getContext('2d', { alpha: false });
        this.onDrawn = onDrawn;
        this.drawnCity = null;
        this.drawnGeneration = -1;
    }

    // Called once per animation frame with the city to show; whether it drew.
    drawIfChanged(city) {
        if (!city)
            return false;
        const generation = city.generation;
        if (city === this.drawnCity && generation === this.drawnGeneration)
            return false;
        paintMap(this.context, city);
        this.drawnCity = city;
        this.drawnGeneration = generation;
        // For whoever reads the page: which generation the canvas shows.
        this.canvas.dataset.generation = String(generation);
        this.onDrawn(city);
        return true;
    }
}

// The city's map onto a 265 x 265 canvas context.
export function paintMap(context, city) {
    context.putImageData(new ImageData(city.rgba(), MapSide, MapSide), 0, 0);
}

// A new canvas holding the city's map as it is now, for saving.
export function mapPicture(city) {
    const canvas = document.createElement('canvas');
    canvas.width = MapSide;
    canvas.height = MapSide;
    paintMap(canvas.getContext('2d'), city);
    return canvas;
}
