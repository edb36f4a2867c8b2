#pragma once

#include <QStringView>

// The entity the result page writes for & < > and ", or an empty view for any other character.
inline QStringView htmlEntity(char16_t c) {
    switch (c) {
    case u'&':
        return u"&amp;";
    case u'<':
        return u"&lt;";
    case u'>':
        return u"&gt;";
    case u'"':
        return u"&quot;";
    default:
        return {};
    }
}
