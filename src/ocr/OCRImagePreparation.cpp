#include "ocr/OCRImagePreparation.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <vector>

namespace OCRImagePreparation {

QImage toGrayOverWhite(const QImage& image) {
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    QImage gray(argb.size(), QImage::Format_Grayscale8);
    for (int y = 0; y < argb.height(); ++y) {
        const auto* in = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
        uchar* out = gray.scanLine(y);
        for (int x = 0; x < argb.width(); ++x) {
            const QRgb p = in[x];
            const int luma = (qRed(p) * 77 + qGreen(p) * 150 + qBlue(p) * 29) >> 8;
            const int a = qAlpha(p);
            out[x] = uchar((luma * a + 255 * (255 - a)) / 255);
        }
    }
    return gray;
}

double meanBrightness(const QImage& gray) {
    if (gray.isNull())
        return 255;
    quint64 sum = 0;
    for (int y = 0; y < gray.height(); ++y) {
        const uchar* row = gray.constScanLine(y);
        for (int x = 0; x < gray.width(); ++x)
            sum += row[x];
    }
    return double(sum) / (double(gray.width()) * gray.height());
}

namespace {

std::array<quint64, 256> histogramOf(const QImage& gray) {
    std::array<quint64, 256> histogram{};
    for (int y = 0; y < gray.height(); ++y) {
        const uchar* row = gray.constScanLine(y);
        for (int x = 0; x < gray.width(); ++x)
            ++histogram[row[x]];
    }
    return histogram;
}

} // namespace

int groundLevel(const QImage& gray) {
    const std::array<quint64, 256> histogram = histogramOf(gray);
    return int(std::max_element(histogram.begin(), histogram.end()) - histogram.begin());
}

int otsuThreshold(const QImage& gray) {
    const std::array<quint64, 256> histogram = histogramOf(gray);
    const double total = double(gray.width()) * gray.height();
    double sumAll = 0;
    for (int i = 0; i < 256; ++i)
        sumAll += double(i) * double(histogram[i]);
    double sumBelow = 0, weightBelow = 0, bestVariance = -1;
    int best = 127;
    for (int t = 0; t < 256; ++t) {
        weightBelow += double(histogram[t]);
        if (weightBelow == 0)
            continue;
        const double weightAbove = total - weightBelow;
        if (weightAbove == 0)
            break;
        sumBelow += double(t) * double(histogram[t]);
        const double meanBelow = sumBelow / weightBelow;
        const double meanAbove = (sumAll - sumBelow) / weightAbove;
        const double variance = weightBelow * weightAbove * (meanBelow - meanAbove) * (meanBelow - meanAbove);
        if (variance > bestVariance) {
            bestVariance = variance;
            best = t;
        }
    }
    return best;
}

int typicalInkLineHeight(const QImage& gray) {
    if (gray.isNull())
        return 0;
    const int threshold = otsuThreshold(gray);
    std::vector<int> bands;
    int run = 0;
    for (int y = 0; y <= gray.height(); ++y) {
        bool ink = false;
        if (y < gray.height()) {
            const uchar* row = gray.constScanLine(y);
            ink = std::any_of(row, row + gray.width(), [threshold](uchar v) { return v <= threshold; });
        }
        if (ink) {
            ++run;
        } else {
            if (run >= 3)
                bands.push_back(run);
            run = 0;
        }
    }
    if (bands.empty())
        return 0;
    std::nth_element(bands.begin(), bands.begin() + bands.size() / 2, bands.end());
    return bands[bands.size() / 2];
}

namespace {

// The pixels of `box` inside the outline of its shape: the shape's own pixels and all
// that it encloses (a light glyph's dark counter included), as a row-major mask.
std::vector<uchar> enclosedBy(const InkComponents& ink, int component, const QRect& box,
                              const std::vector<qsizetype>& runsOf) {
    const int w = box.width(), h = box.height();
    std::vector<uchar> mask(size_t(w) * size_t(h), 0); // 1: the shape, 2: outside, 0: enclosed
    for (const qsizetype r : runsOf) {
        const InkRun& run = ink.runs[r];
        if (run.component == component)
            std::fill_n(mask.begin() +
                            std::ptrdiff_t(size_t(run.y - box.top()) * w + (run.left - box.left())),
                        run.right - run.left, uchar(1));
    }
    std::vector<int> stack;
    const auto reach = [&](int x, int y) {
        uchar& m = mask[size_t(y) * w + x];
        if (m == 0) {
            m = 2;
            stack.push_back(y * w + x);
        }
    };
    for (int x = 0; x < w; ++x) {
        reach(x, 0);
        reach(x, h - 1);
    }
    for (int y = 0; y < h; ++y) {
        reach(0, y);
        reach(w - 1, y);
    }
    while (!stack.empty()) {
        const int p = stack.back(), x = p % w, y = p / w;
        stack.pop_back();
        if (x > 0)
            reach(x - 1, y);
        if (x + 1 < w)
            reach(x + 1, y);
        if (y > 0)
            reach(x, y - 1);
        if (y + 1 < h)
            reach(x, y + 1);
    }
    for (uchar& m : mask)
        m = m == 2 ? 0 : 1;
    return mask;
}

// Turns the masked pixels of `box` into dark text on white: the fill is the most common
// level, the text whichever side of it holds more clearly different pixels.
void normalizeArea(QImage& gray, const QRect& box, const std::vector<uchar>& mask) {
    constexpr int kTextContrast = 48;
    std::array<qint64, 256> histogram{};
    qint64 count = 0;
    for (int y = 0; y < box.height(); ++y) {
        const uchar* row = gray.constScanLine(box.top() + y) + box.left();
        for (int x = 0; x < box.width(); ++x)
            if (mask[size_t(y) * box.width() + x]) {
                ++histogram[row[x]];
                ++count;
            }
    }
    int fill = 0;
    for (qint64 seen = 0; fill < 255 && (seen += histogram[fill]) * 2 < count;)
        ++fill;
    qint64 lighter = 0, darker = 0;
    for (int v = 0; v < 256; ++v) {
        lighter += v > fill + kTextContrast ? histogram[v] : 0;
        darker += v < fill - kTextContrast ? histogram[v] : 0;
    }
    const bool invert = lighter > darker;
    const int ground = invert ? 255 - fill : fill;
    std::array<uchar, 256> map{};
    for (int v = 0; v < 256; ++v) {
        const int level = invert ? 255 - v : v;
        map[v] = uchar(ground > 0 ? std::min(255, level * 255 / ground) : 255);
    }
    const auto inMask = [&](int x, int y) {
        return x >= 0 && y >= 0 && x < box.width() && y < box.height() && mask[size_t(y) * box.width() + x];
    };
    for (int y = 0; y < box.height(); ++y) {
        uchar* row = gray.scanLine(box.top() + y) + box.left();
        for (int x = 0; x < box.width(); ++x)
            if (inMask(x, y))
                row[x] = map[row[x]];
    }
    // The anti-aliased edge of the area, on either side of its outline, is lighter than the
    // fill and would turn into a dark frame.
    const QRect around = box.adjusted(-1, -1, 1, 1).intersected(gray.rect());
    for (int y = around.top(); y <= around.bottom(); ++y) {
        uchar* row = gray.scanLine(y);
        for (int x = around.left(); x <= around.right(); ++x) {
            const int lx = x - box.left(), ly = y - box.top();
            const bool inside = inMask(lx, ly);
            bool edge = false;
            for (int dy = -1; dy <= 1 && !edge; ++dy)
                for (int dx = -1; dx <= 1 && !edge; ++dx)
                    edge = inMask(lx + dx, ly + dy) != inside;
            if (edge)
                row[x] = 255;
        }
    }
}

} // namespace

int normalizeFilledAreas(QImage& gray, const InkComponents& ink, int glyphHeight) {
    const double minimumHeight = std::max(12.0, kFilledAreaMinimumHeight * glyphHeight);
    const double minimumWidth = std::max(24.0, kFilledAreaMinimumWidth * glyphHeight);
    const auto isIcon = [glyphHeight](const QRect& box) {
        const int longer = std::max(box.width(), box.height()), shorter = std::min(box.width(), box.height());
        return longer < kIconMaximumSize * glyphHeight && longer < kIconMaximumAspect * shorter;
    };
    QList<int> areas;
    for (qsizetype c = 0; c < ink.components.size(); ++c) {
        const InkComponent& component = ink.components[c];
        if (component.box.height() >= minimumHeight && component.box.width() >= minimumWidth &&
            component.fill() >= kFilledAreaMinimumFill && !isIcon(component.box))
            areas.append(int(c));
    }
    if (areas.isEmpty())
        return 0;
    std::vector<std::vector<qsizetype>> runsOf(areas.size());
    std::vector<int> slot(ink.components.size(), -1);
    for (qsizetype i = 0; i < areas.size(); ++i)
        slot[size_t(areas[i])] = int(i);
    for (qsizetype r = 0; r < ink.runs.size(); ++r)
        if (const int s = slot[size_t(ink.runs[r].component)]; s >= 0)
            runsOf[size_t(s)].push_back(r);
    for (qsizetype i = 0; i < areas.size(); ++i) {
        const QRect box = ink.components[areas[i]].box;
        normalizeArea(gray, box, enclosedBy(ink, areas[i], box, runsOf[size_t(i)]));
    }
    return int(areas.size());
}

int removeRules(QImage& gray, int glyphHeight) {
    const int width = gray.width(), height = gray.height();
    if (width == 0 || height == 0)
        return 0;
    const int minimumLength = std::max(kRuleMinimumLength, int(std::ceil(kRuleLengthInGlyphs * glyphHeight)));
    const int minimumHeight = std::max(kRuleMinimumHeight, int(std::ceil(kRuleHeightInGlyphs * glyphHeight)));
    const int threshold = otsuThreshold(gray);
    const auto ink = [&](int x, int y) { return gray.constScanLine(y)[x] <= threshold; };
    // Length of the horizontal and of the vertical ink run through every pixel.
    // Run lengths are capped: only "at least the minimum" matters.
    std::vector<quint16> across(size_t(width) * size_t(height), 0), down(across.size(), 0);
    const auto capped = [](int length) { return quint16(std::min(length, 0xFFFF)); };
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width;) {
            if (!ink(x, y)) {
                ++x;
                continue;
            }
            int end = x;
            while (end < width && ink(end, y))
                ++end;
            std::fill(across.begin() + qsizetype(y) * width + x, across.begin() + qsizetype(y) * width + end,
                      capped(end - x));
            x = end;
        }
    for (int x = 0; x < width; ++x)
        for (int y = 0; y < height;) {
            if (!ink(x, y)) {
                ++y;
                continue;
            }
            int end = y;
            while (end < height && ink(x, end))
                ++end;
            for (int i = y; i < end; ++i)
                down[size_t(i) * width + x] = capped(end - y);
            y = end;
        }
    int cleared = 0;
    for (int y = 0; y < height; ++y) {
        uchar* row = gray.scanLine(y);
        for (int x = 0; x < width; ++x) {
            const int h = across[size_t(y) * width + x], v = down[size_t(y) * width + x];
            // Only thin runs: a solid area long both ways is no rule (normalizeFilledAreas
            // deals with it), and a crossing of two rules keeps a pixel or two.
            if ((h >= minimumLength && v <= kRuleMaximumWidth) ||
                (v >= minimumHeight && h <= kRuleMaximumWidth)) {
                row[x] = 255;
                ++cleared;
            }
        }
    }
    return cleared;
}

Prepared prepare(const QImage& image) {
    Prepared prepared;
    prepared.gray = toGrayOverWhite(image);
    prepared.meanBrightness = meanBrightness(prepared.gray);
    // Light text on a dark theme: Tesseract reads dark on light, and otherwise
    // tries each line both ways, which costs far more than one inversion.
    if (prepared.meanBrightness < 128) {
        prepared.gray.invertPixels();
        prepared.inverted = true;
    }
    {
        // Not Otsu's threshold: a mid-tone band between dark text and the page falls on
        // either side of it.
        const InkComponents ink =
            InkComponents::find(prepared.gray, groundLevel(prepared.gray) - kInkContrast);
        prepared.glyphHeight = ink.glyphHeight();
        normalizeFilledAreas(prepared.gray, ink, prepared.glyphHeight);
    }
    removeRules(prepared.gray, prepared.glyphHeight);
    prepared.textHeight = typicalInkLineHeight(prepared.gray);
    const qint64 pixels = qint64(image.width()) * image.height();
    if (prepared.textHeight > 0 && prepared.textHeight < kUpscaleBelowTextHeight &&
        pixels * 4 <= kMaximumUpscaledPixels) {
        prepared.gray =
            prepared.gray.scaled(prepared.gray.size() * 2, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        prepared.scale = 2;
    }
    prepared.inkThreshold = otsuThreshold(prepared.gray);
    return prepared;
}

double inkCoverage(const QImage& gray, const QRect& box, int threshold) {
    const QRect area = box.intersected(gray.rect());
    if (area.isEmpty())
        return 0;
    qint64 ink = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        const uchar* row = gray.constScanLine(y);
        for (int x = area.left(); x <= area.right(); ++x)
            ink += row[x] <= threshold ? 1 : 0;
    }
    return double(ink) / (double(area.width()) * area.height());
}

} // namespace OCRImagePreparation
