#pragma once

#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>

// Reads fuzz bytes as a stream of small decisions; past the end every read yields zero.
class FuzzInput {
public:
    FuzzInput(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}

    bool atEnd() const { return m_pos >= m_size; }
    uint8_t byte() { return m_pos < m_size ? m_data[m_pos++] : 0; }
    uint16_t word() { return uint16_t(byte() | byte() << 8); }

    // Mostly ordinary pixel values, with the special doubles OCR never produces.
    double coordinate() {
        switch (byte() % 16) {
        case 0:
            return std::numeric_limits<double>::quiet_NaN();
        case 1:
            return std::numeric_limits<double>::infinity();
        case 2:
            return -std::numeric_limits<double>::infinity();
        case 3:
            return 1e308;
        case 4:
            return -1e308;
        case 5: {
            uint64_t bits = 0;
            for (int i = 0; i < 8; ++i)
                bits |= uint64_t(byte()) << (8 * i);
            double value;
            std::memcpy(&value, &bits, sizeof value);
            return value;
        }
        default:
            return int16_t(word()) / 4.0;
        }
    }

    // Text drawn mostly from characters the code treats specially, sometimes any UTF-16
    // unit (unpaired surrogates included).
    QString text(int maxUnits) {
        static const char16_t* const tokens[] = {
            u"a",    u"b",      u"|",  u"\\",     u"\n",     u" ",        u"\t",
            u"\r",   u"\u0301", u"表", u"\u3000", u"\u2028", u"摘录来自", u"此材料受版权保护。",
            u"\n\n", u"🇨🇳"};
        const int count = byte() % (maxUnits + 1);
        QString result;
        for (int i = 0; i < count; ++i) {
            const uint8_t b = byte();
            if (b >= 240)
                result.append(QChar(word()));
            else
                result.append(QString::fromUtf16(tokens[b % std::size(tokens)]));
        }
        return result;
    }

private:
    const uint8_t* m_data;
    size_t m_size;
    size_t m_pos = 0;
};
