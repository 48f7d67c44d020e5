#include "report/SvgChart.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "report/HtmlText.h"

namespace otp {
namespace {

std::string Num(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", v);
    return text;
}

std::string Value(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", v);
    return text;
}

// The start of an svg element sized `width` x `height`, with its title.
std::string Open(const Chart& chart, double width, double height) {
    const std::string id = EscapeHtml(chart.id);
    return "<svg id=\"" + id + "\" class=\"chart\" xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 " + Num(width) +
           " " + Num(height) + "\" width=\"" + Num(width) + "\" height=\"" + Num(height) +
           "\" role=\"img\" aria-labelledby=\"" + id + "-title\">\n<title id=\"" + id + "-title\">" +
           EscapeHtml(chart.title) + "</title>\n";
}

std::string Text(double x, double y, const std::string& text, const std::string& attributes = "") {
    return "<text x=\"" + Num(x) + "\" y=\"" + Num(y) + "\"" + attributes + ">" + EscapeHtml(text) + "</text>\n";
}

std::string Rect(const std::string& kind, double x, double y, double w, double h, const std::string& tip) {
    return "<rect class=\"" + EscapeHtml(kind) + "\" x=\"" + Num(x) + "\" y=\"" + Num(y) + "\" width=\"" + Num(w) +
           "\" height=\"" + Num(h) + "\"><title>" + EscapeHtml(tip) + "</title></rect>\n";
}

std::string Empty(const Chart& chart) {
    return Open(chart, 640, 60) + Text(320, 35, chart.emptyText, " text-anchor=\"middle\" class=\"empty\"") + "</svg>\n";
}

double Total(const Bar& bar) {
    double sum = 0;
    for (const BarPart& p : bar.parts) sum += p.value;
    return sum;
}

// The scale's step: 1, 2 or 5 times a power of ten, about a quarter of `top`.
double Step(double top) {
    const double rough = std::max(top / 4, 1.0);
    const double power = std::pow(10, std::floor(std::log10(rough)));
    for (double m : {1.0, 2.0, 5.0})
        if (m * power >= rough) return m * power;
    return 10 * power;
}

std::string Keys(const Chart& chart, double x, double y) {
    std::string svg;
    for (const ChartKey& key : chart.keys) {
        svg += "<rect class=\"key " + EscapeHtml(key.kind) + "\" x=\"" + Num(x) + "\" y=\"" + Num(y - 9) +
               "\" width=\"10\" height=\"10\"/>\n" + Text(x + 14, y, key.name);
        x += 24 + 7.0 * static_cast<double>(key.name.size());
    }
    return svg;
}

}  // namespace

std::string ColumnChart(const Chart& chart) {
    if (chart.bars.empty()) return Empty(chart);
    const double left = 52, right = 12, top = 32, plot = 180, bottom = 100;
    const size_t n = chart.bars.size();
    // Wide enough for a bar of 16 units each, but a month of hours still fits a page.
    const double plotWidth = std::clamp(16.0 * static_cast<double>(n), 560.0, 1400.0);
    const double slot = plotWidth / static_cast<double>(n);
    const double barWidth = std::min(slot * 0.7, 48.0);
    double highest = chart.top;
    for (const Bar& bar : chart.bars) highest = std::max(highest, Total(bar));
    const double step = chart.top > 0 ? chart.top / 4 : Step(highest);
    const double end = chart.top > 0 ? chart.top : step * std::max(1.0, std::ceil(highest / step));
    const double width = left + plotWidth + right, height = top + plot + bottom;
    const auto y = [&](double v) { return top + plot - plot * v / end; };

    std::string svg = Open(chart, width, height) + Keys(chart, left, 16);
    for (double v = 0; v <= end + step / 2; v += step) {
        svg += "<line class=\"grid\" x1=\"" + Num(left) + "\" y1=\"" + Num(y(v)) + "\" x2=\"" + Num(left + plotWidth) +
               "\" y2=\"" + Num(y(v)) + "\"/>\n";
        svg += Text(left - 6, y(v) + 4, Value(v) + chart.unit, " text-anchor=\"end\"");
    }
    // Labels no closer than a line's height, so many hours stay readable.
    const size_t every = static_cast<size_t>(std::ceil(14 / slot));
    for (size_t i = 0; i < n; ++i) {
        const Bar& bar = chart.bars[i];
        const double x = left + slot * static_cast<double>(i);
        double base = 0;
        for (const BarPart& part : bar.parts) {
            if (part.value <= 0 && !(part.value == 0 && bar.parts.size() == 1)) continue;
            svg += Rect("bar " + part.kind, x + (slot - barWidth) / 2, y(base + part.value), barWidth,
                        plot * part.value / end, part.tip);
            base += part.value;
        }
        if (i % every == 0) {
            const double lx = x + slot / 2 + 4, ly = top + plot + 12;
            svg += "<text transform=\"translate(" + Num(lx) + "," + Num(ly) +
                   ") rotate(-40)\" text-anchor=\"end\">" + EscapeHtml(Shortened(bar.label, 20)) + "</text>\n";
        }
    }
    svg += "<line class=\"axis\" x1=\"" + Num(left) + "\" y1=\"" + Num(y(0)) + "\" x2=\"" + Num(left + plotWidth) +
           "\" y2=\"" + Num(y(0)) + "\"/>\n";
    return svg + "</svg>\n";
}

std::string RowChart(const Chart& chart) {
    if (chart.bars.empty()) return Empty(chart);
    const double labels = 280, plotWidth = 320, right = 50, row = 24, top = 8;
    double highest = chart.top;
    for (const Bar& bar : chart.bars) highest = std::max(highest, Total(bar));
    const double width = labels + plotWidth + right;
    const double height = top * 2 + row * static_cast<double>(chart.bars.size());
    std::string svg = Open(chart, width, height);
    for (size_t i = 0; i < chart.bars.size(); ++i) {
        const Bar& bar = chart.bars[i];
        const double y = top + row * static_cast<double>(i);
        svg += Text(labels - 8, y + 16, Shortened(bar.label, 40), " text-anchor=\"end\"");
        double x = labels;
        for (const BarPart& part : bar.parts) {
            if (part.value <= 0) continue;
            const double w = plotWidth * part.value / highest;
            svg += Rect("bar " + part.kind, x, y + 4, w, row - 8, part.tip);
            x += w;
        }
        svg += Text(x + 6, y + 16, Value(Total(bar)));
    }
    return svg + "</svg>\n";
}

}  // namespace otp
