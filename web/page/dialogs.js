// SPDX-License-Identifier: GPL-3.0-or-later
// The two modal windows: the Start Over question and the information window. The clock
// goes on behind both, as in the window.

// The window beeps before its question: a short tone stands in for the system's beep.
const BeepHz = 880;
const BeepSeconds = 0.12;
const BeepVolume = 0.1;

let audio = null;

function beep() {
    try {
        audio ??= new AudioContext();
        const tone = audio.createOscillator();
        const volume = audio.createGain();
        volume.gain.value = BeepVolume;
        tone.frequency.value = BeepHz;
        tone.connect(volume).connect(audio.destination);
        tone.start();
        tone.stop(audio.currentTime + BeepSeconds);
    } catch {
        // No sound to be had: the question still comes.
    }
}

// Asks the Start Over question; true for OK. Cancel has the focus, so Enter answers Cancel;
// Escape is Cancel too.
export function askStartOver(dialog) {
    beep();
    return new Promise((resolve) => {
        dialog.returnValue = '';
        dialog.addEventListener('close', () => resolve(dialog.returnValue === 'ok'), { once: true });
        dialog.showModal();
        dialog.querySelector('[value="cancel"]').focus();
    });
}

// The information window; Close and Escape put it away.
export function showInformation(dialog) {
    dialog.showModal();
    dialog.querySelector('button').focus();
}
