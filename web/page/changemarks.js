// SPDX-License-Identifier: GPL-3.0-or-later
// A Chart.js plugin: a dashed upright line, with its label, at each year where the
// preferences changed. Options: { marks: [{ years, label }] }.

const LineColour = '#3b3b3b';
const LabelColour = '#1a1a1a';
const LabelBackground = 'rgba(255, 255, 255, 0.85)';
const LabelFont = '11px system-ui, sans-serif';
const LabelPadding = 2;
const LabelHeight = 14;
// Labels of nearby marks go on different rows, this many in turn.
const LabelRows = 3;

export const ChangeMarks = {
    id: 'changeMarks',
    defaults: { marks: [] },
    afterDatasetsDraw(chart, _args, options) {
        const { ctx, chartArea: area, scales: { x } } = chart;
        ctx.save();
        ctx.font = LabelFont;
        ctx.textBaseline = 'top';
        options.marks.forEach((mark, i) => {
            const left = x.getPixelForValue(mark.years);
            if (!(left >= area.left && left <= area.right))
                return;
            ctx.strokeStyle = LineColour;
            ctx.lineWidth = 1;
            ctx.setLineDash([4, 3]);
            ctx.beginPath();
            ctx.moveTo(left, area.top);
            ctx.lineTo(left, area.bottom);
            ctx.stroke();
            ctx.setLineDash([]);
            // The label to the right of its line, or to the left where it would leave the chart.
            const width = ctx.measureText(mark.label).width + 2 * LabelPadding;
            const labelLeft = left + width + 2 <= area.right ? left + 2 : left - 2 - width;
            const top = area.top + 2 + (i % LabelRows) * LabelHeight;
            ctx.fillStyle = LabelBackground;
            ctx.fillRect(labelLeft, top, width, LabelHeight);
            ctx.fillStyle = LabelColour;
            ctx.fillText(mark.label, labelLeft + LabelPadding, top + LabelPadding);
        });
        ctx.restore();
    },
};
