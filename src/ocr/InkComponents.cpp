#include "ocr/InkComponents.h"

#include <algorithm>
#include <numeric>
#include <vector>

namespace {

int root(std::vector<int>& parent, int i) {
    while (parent[size_t(i)] != i) {
        parent[size_t(i)] = parent[size_t(parent[size_t(i)])];
        i = parent[size_t(i)];
    }
    return i;
}

} // namespace

InkComponents InkComponents::find(const QImage& gray, int threshold) {
    InkComponents result;
    std::vector<int> parent;
    qsizetype previousRow = 0; // first run of the row above
    for (int y = 0; y < gray.height(); ++y) {
        const uchar* row = gray.constScanLine(y);
        const qsizetype rowStart = result.runs.size();
        qsizetype above = previousRow;
        for (int x = 0; x < gray.width();) {
            if (row[x] > threshold) {
                ++x;
                continue;
            }
            const int left = x;
            while (x < gray.width() && row[x] <= threshold)
                ++x;
            const int index = int(result.runs.size());
            result.runs.append({y, left, x, index});
            parent.push_back(index);
            // Runs above that touch this one, diagonals included.
            while (above < rowStart && result.runs[above].right < left)
                ++above;
            for (qsizetype k = above; k < rowStart && result.runs[k].left <= x; ++k) {
                const int a = root(parent, int(k)), b = root(parent, index);
                if (a != b)
                    parent[size_t(std::max(a, b))] = std::min(a, b);
            }
        }
        previousRow = rowStart;
    }

    std::vector<int> componentOfRoot(parent.size(), -1);
    for (InkRun& run : result.runs) {
        const int r = root(parent, run.component);
        if (componentOfRoot[size_t(r)] < 0) {
            componentOfRoot[size_t(r)] = int(result.components.size());
            result.components.append({QRect(run.left, run.y, run.right - run.left, 1), 0});
        }
        run.component = componentOfRoot[size_t(r)];
        InkComponent& component = result.components[run.component];
        component.box |= QRect(run.left, run.y, run.right - run.left, 1);
        component.pixels += run.right - run.left;
    }
    return result;
}

int InkComponents::glyphHeight() const {
    std::vector<int> heights;
    for (const InkComponent& c : components) {
        // Specks and thin rules are no glyphs; neither is anything much wider than a
        // few touching letters, nor a large solid block.
        const int h = c.box.height(), w = c.box.width();
        if (h < 3 || w > 8 * h || (c.fill() > 0.9 && w > 2 * h))
            continue;
        heights.push_back(h);
    }
    if (heights.empty())
        return 0;
    const auto at = heights.begin() + std::ptrdiff_t(heights.size() * 4 / 5);
    std::nth_element(heights.begin(), at, heights.end());
    return *at;
}
