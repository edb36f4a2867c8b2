// Any bytes the service might answer with: the parser returns a text or nothing, never crashes.
#include "engine/ResponseParser.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::optional<QString> text =
        ResponseParser::parse(QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size)));
    if (text)
        (void)text->size();
    return 0;
}
