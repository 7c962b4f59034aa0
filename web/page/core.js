// SPDX-License-Identifier: GPL-3.0-or-later
// The city model in WebAssembly, reached through the glue's C functions. Nothing here knows
// a rule of the model: it hands texts and numbers across and back.

// The smallest module that uses WebAssembly SIMD (a function returning i8x16.splat(0)): a
// browser that validates it runs the SIMD core, any other the plain one. Both build the
// same city from the same seed.
const SimdProbe = new Uint8Array([
    0x00, 0x61, 0x73, 0x6d, 0x01, 0x00, 0x00, 0x00,   // "\0asm", version 1
    0x01, 0x05, 0x01, 0x60, 0x00, 0x01, 0x7b,         // type: () -> v128
    0x03, 0x02, 0x01, 0x00,                           // one function of that type
    0x0a, 0x08, 0x01, 0x06, 0x00, 0x41, 0x00, 0xfd, 0x0f, 0x0b,   // i32.const 0, i8x16.splat
]);

export function simdSupported() {
    try {
        return WebAssembly.validate(SimdProbe);
    } catch {
        return false;
    }
}

// The fields of the main window, by the numbers the glue gives them.
export const Field = Object.freeze({ Date: 0, Number: 1, Proportion: 2, Preference: 3, Population: 4 });

export const GroupNames = Object.freeze(['Blue', 'Red', 'Green', 'Gray', 'Yellow']);
export const GroupCount = GroupNames.length;
export const MapSide = 265;

// Loads the core; `simd` chooses the build, by default the best the browser runs.
export async function loadCore({ simd = simdSupported() } = {}) {
    const url = simd ? './velmora-core-simd.js' : './velmora-core.js';
    const { default: createVelmoraCore } = await import(url);
    return new Core(await createVelmoraCore(), simd);
}

class Core {
    constructor(module, simd) {
        this.module = module;
        this.simd = simd;
        const c = (name, returns, args) => module.cwrap(name, returns, args);
        this.c = {
            newCity: c('velmora_new_city', 'number', ['number', 'number', 'number', 'number', 'number', 'number']),
            deleteCity: c('velmora_delete_city', null, ['number']),
            advance: c('velmora_advance', 'number', ['number', 'number']),
            damaged: c('velmora_damaged', 'number', ['number']),
            samplingOver: c('velmora_sampling_over', 'number', ['number']),
            generation: c('velmora_generation', 'number', ['number']),
            seed: c('velmora_seed', 'number', ['number']),
            years: c('velmora_years', 'number', ['number']),
            typePreference: c('velmora_type_preference', 'number', ['number', 'number', 'number']),
            prefEighths: c('velmora_pref_eighths', 'number', ['number', 'number']),
            fieldText: c('velmora_field_text', 'number', ['number', 'number', 'number']),
            rgba: c('velmora_rgba', 'number', ['number']),
            sampleCount: c('velmora_sample_count', 'number', ['number']),
            sampleLine: c('velmora_sample_line', 'number', ['number', 'number']),
            measuresCsv: c('velmora_measures_csv', 'number', ['number']),
            headerLine: c('velmora_header_line', 'number', []),
        };
        // measures.csv's column names, in order.
        this.columns = this.text(this.c.headerLine()).trimEnd().split(',');
    }

    text(pointer) {
        return this.module.UTF8ToString(pointer);
    }

    // Runs `call` with the texts copied into the module's memory as UTF-8. On the heap
    // rather than the stack, so that a text of any length fits.
    withTexts(texts, call) {
        const m = this.module;
        const pointers = texts.map((text) => {
            const size = m.lengthBytesUTF8(text) + 1;
            const pointer = m._malloc(size);
            m.stringToUTF8(text, pointer, size);
            return pointer;
        });
        try {
            return call(...pointers);
        } finally {
            pointers.forEach((pointer) => m._free(pointer));
        }
    }

    // A city built from the seed (0 to 4294967295) after typing the five preference texts.
    newCity(seed, prefTexts) {
        const texts = Array.from({ length: GroupCount }, (_, i) => String(prefTexts[i] ?? ''));
        const handle = this.withTexts(texts, (...pointers) => this.c.newCity(seed >>> 0, ...pointers));
        return new City(this, handle);
    }
}

class City {
    constructor(core, handle) {
        this.core = core;
        this.handle = handle;
    }

    get seed() { return this.core.c.seed(this.handle) >>> 0; }
    get generation() { return this.core.c.generation(this.handle); }
    get years() { return this.core.c.years(this.handle); }
    get damaged() { return this.core.c.damaged(this.handle) !== 0; }
    // Past the calendar's end no more measures are taken, as no Lab run goes further.
    get samplingOver() { return this.core.c.samplingOver(this.handle) !== 0; }

    // How many generations ran.
    advance(generations) {
        return this.core.c.advance(this.handle, generations);
    }

    // Group 1 to 5. The text the field shows after the window's reading of `text`.
    typePreference(group, text) {
        return this.core.withTexts([String(text)], (pointer) =>
            this.core.text(this.core.c.typePreference(this.handle, group, pointer)));
    }

    prefEighths(group) {
        return this.core.c.prefEighths(this.handle, group);
    }

    field(field, group = 0) {
        return this.core.text(this.core.c.fieldText(this.handle, field, group));
    }

    // The map's RGBA bytes, a view on the module's memory valid until the next call.
    rgba() {
        const pointer = this.core.c.rgba(this.handle);
        return new Uint8ClampedArray(this.core.module.HEAPU8.buffer, pointer, MapSide * MapSide * 4);
    }

    get sampleCount() { return this.core.c.sampleCount(this.handle); }

    // Row `index` of measures.csv as an object by column name; numbers, or null for an
    // empty field (a measure the map leaves undefined).
    sample(index) {
        const fields = this.core.text(this.core.c.sampleLine(this.handle, index)).trimEnd().split(',');
        const row = {};
        this.core.columns.forEach((name, i) => {
            const field = fields[i] ?? '';
            row[name] = name === 'date' ? field : (field === '' ? null : Number(field));
        });
        return row;
    }

    // measures.csv as the Lab writes it for a run ending at this generation.
    measuresCsv() {
        return this.core.text(this.core.c.measuresCsv(this.handle));
    }

    delete() {
        this.core.c.deleteCity(this.handle);
        this.handle = 0;
    }
}
