// SPDX-License-Identifier: GPL-3.0-or-later
// The address of a city: #seed=N&prefs=T1,T2,T3,T4,T5, each T a preference text as typed,
// percent-encoded, and &paused to open it paused once built.

import { GroupCount } from './core.js';

export const MaxSeed = 4294967295;

// A whole number 0 to MaxSeed written in decimal digits, or null.
export function readSeed(text) {
    if (!/^[0-9]{1,10}$/.test(text))
        return null;
    const seed = Number(text);
    return seed <= MaxSeed ? seed : null;
}

export function formatLink(seed, prefTexts, paused) {
    const prefs = prefTexts.map((text) => encodeURIComponent(text)).join(',');
    return `#seed=${seed}&prefs=${prefs}${paused ? '&paused' : ''}`;
}

// What a fragment asks for: { seed, prefTexts, paused, problems }. seed and prefTexts are
// null where the fragment gives none or none that can be used; each problem is a sentence
// for the reader. Parts that are not known are ignored, so that a longer address from a
// later page still opens.
export function parseLink(fragment) {
    const link = { seed: null, prefTexts: null, paused: false, problems: [] };
    const body = fragment.startsWith('#') ? fragment.slice(1) : fragment;
    if (body === '')
        return link;
    for (const part of body.split('&')) {
        const equals = part.indexOf('=');
        const key = equals < 0 ? part : part.slice(0, equals);
        const value = equals < 0 ? null : part.slice(equals + 1);
        if (key === 'paused') {
            link.paused = true;
        } else if (key === 'seed') {
            link.seed = readSeed(value ?? '');
            if (link.seed === null)
                link.problems.push(`The link's seed "${shorten(value ?? '')}" is not a whole number from 0 to ${MaxSeed}.`);
        } else if (key === 'prefs') {
            link.prefTexts = readPrefs(value ?? '', link.problems);
        }
    }
    return link;
}

function readPrefs(value, problems) {
    const parts = value.split(',');
    if (parts.length !== GroupCount) {
        problems.push(`The link gives ${parts.length} preference${parts.length === 1 ? '' : 's'} instead of ${GroupCount}.`);
        return null;
    }
    try {
        return parts.map((part) => decodeURIComponent(part));
    } catch {
        problems.push("The link's preferences are not percent-encoded texts.");
        return null;
    }
}

// Long garbage stays out of a message.
function shorten(text) {
    const MaxShown = 24;
    return text.length > MaxShown ? `${text.slice(0, MaxShown)}…` : text;
}
