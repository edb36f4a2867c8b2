#include "ocr/OCRImagePreparation.h"

#include <algorithm>
#include <array>
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

int otsuThreshold(const QImage& gray) {
    std::array<quint64, 256> histogram{};
    for (int y = 0; y < gray.height(); ++y) {
        const uchar* row = gray.constScanLine(y);
        for (int x = 0; x < gray.width(); ++x)
            ++histogram[row[x]];
    }
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

int removeRules(QImage& gray) {
    const int width = gray.width(), height = gray.height();
    if (width == 0 || height == 0)
        return 0;
    const int threshold = otsuThreshold(gray);
    const auto ink = [&](int x, int y) { return gray.constScanLine(y)[x] <= threshold; };
    // Length of the horizontal and of the vertical ink run through every pixel.
    // Run lengths are capped: only "at least kRuleMinimumLength" matters.
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
                      end - x);
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
            if (h == 0)
                continue;
            // A crossing of two rules is long both ways.
            const bool horizontalRule =
                h >= kRuleMinimumLength && (v <= kRuleMaximumWidth || v >= kRuleMinimumHeight);
            const bool verticalRule =
                v >= kRuleMinimumHeight && (h <= kRuleMaximumWidth || h >= kRuleMinimumLength);
            if (horizontalRule || verticalRule) {
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
    removeRules(prepared.gray);
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
