// SPDX-License-Identifier: GPL-3.0-or-later
// The window's fields: the date, each group's number, proportion and preference, and the
// population. The texts are the core's; a preference is applied, as in the window, by
// Enter in its field or by leaving the field.

import { Field, GroupCount } from './core.js';

// The element's text, changed in place when it has one text node.
export function setText(element, text) {
    const node = element.firstChild;
    if (node && node.nodeType === Node.TEXT_NODE && !node.nextSibling) {
        if (node.data !== text)
            node.data = text;
    } else {
        element.textContent = text;
    }
}

export class CensusTable {
    // `apply(group, text)` types the text into the city and returns what the field shows.
    constructor(root, apply) {
        this.date = root.querySelector('#dayt');
        this.population = root.querySelector('#population');
        this.rows = [];
        for (let g = 1; g <= GroupCount; ++g) {
            const row = {
                number: root.querySelector(`#kount-${g}`),
                proportion: root.querySelector(`#prop-${g}`),
                preference: root.querySelector(`#pref-${g}`),
            };
            const confirm = () => { row.preference.value = apply(g, row.preference.value); };
            row.preference.addEventListener('keydown', (event) => {
                if (event.key === 'Enter')
                    confirm();
            });
            row.preference.addEventListener('blur', confirm);
            this.rows.push(row);
        }
    }

    // What the five preference fields hold now, confirmed or not.
    preferenceTexts() {
        return this.rows.map((row) => row.preference.value);
    }

    // Every field from the city, as after a construction.
    showCity(city) {
        this.rows.forEach((row, i) => {
            const g = i + 1;
            row.number.value = city.field(Field.Number, g);
            row.proportion.value = city.field(Field.Proportion, g);
            row.preference.value = city.field(Field.Preference, g);
        });
        this.population.value = city.field(Field.Population);
        this.showDate(city);
    }

    // The only field a generation changes: its text changed in place, which is cheaper to
    // lay out again than a new text at every frame.
    showDate(city) {
        setText(this.date, city.field(Field.Date));
    }
}
