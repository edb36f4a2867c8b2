// Any bytes a service might stream, cut into reads anywhere: the reader never crashes, and
// where the reads are cut does not change what it reads.
#include "FuzzInput.h"
#include "FuzzSupport.h"
#include "engine/ChatStreamReader.h"

#include <QList>

#include <cstddef>
#include <cstdint>

namespace {

ChatStreamReader::Update readAll(const QList<QByteArray>& reads) {
    ChatStreamReader reader;
    ChatStreamReader::Update all;
    for (qsizetype i = 0; i <= reads.size(); ++i) {
        all.append(i < reads.size() ? reader.feed(reads[i]) : reader.finish());
    }
    return all;
}

} // namespace

// The first byte says how many read lengths follow; the rest is the stream.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput input(data, size);
    QList<qsizetype> lengths(input.byte() % 16);
    for (qsizetype& length : lengths)
        length = input.byte();
    const size_t used = std::min(size, size_t(lengths.size()) + 1);
    const QByteArray stream(reinterpret_cast<const char*>(data) + used, qsizetype(size - used));
    QList<QByteArray> reads;
    qsizetype at = 0;
    for (const qsizetype length : lengths) {
        reads.append(stream.mid(at, length));
        at += length;
    }
    reads.append(stream.mid(at));
    const ChatStreamReader::Update whole = readAll({stream});
    const ChatStreamReader::Update split = readAll(reads);
    failIf(!(whole == split),
           QStringLiteral("cut into %1 reads, the stream reads differently").arg(reads.size()),
           whole.content + QStringLiteral("\n---\n") + split.content);
    return 0;
}
