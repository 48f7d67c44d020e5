#pragma once
// Bar charts as inline SVG: drawn with shapes and text only, no script, no
// font or file from elsewhere. Each bar is a <rect class="bar ..."> with a
// <title> its tooltip shows. A part of no value is left out, unless it is
// its bar's only one: a yield of 0 % is a value, a bar without parts none.
#include <string>
#include <vector>

namespace otp {

struct BarPart {
    double value = 0;
    std::string kind;  // its CSS class beside "bar": "passed", "failed", ...
    std::string tip;   // the tooltip
};

// One bar: its parts stacked from the axis out.
struct Bar {
    std::string label;
    std::vector<BarPart> parts;
};

struct ChartKey {
    std::string kind, name;  // a legend entry: the class and what it means
};

struct Chart {
    std::string id, title;
    std::vector<Bar> bars;
    double top = 0;           // the scale's end; 0: from the bars
    std::string unit;         // after the scale's numbers (" %")
    std::vector<ChartKey> keys;
    std::string emptyText;    // shown when there are no bars
};

// Upright bars, labels below.
std::string ColumnChart(const Chart& chart);
// Bars lying from their labels to the right, the value after each.
std::string RowChart(const Chart& chart);

}  // namespace otp
