// The configuration-file reader fed any file text: the record keeps its 78
// text values, takes each key's string when the key holds one, and what a
// close writes back from it reads back unchanged.
#include "FuzzSupport.h"
#include "TessaryInfo.h"

#include <QJsonDocument>
#include <QJsonObject>

// Qt is built without frame pointers: only the slow unwinder records whole
// allocation stacks, which the suppression of the parser's own leak needs.
extern "C" const char* __asan_default_options()
{
    return "fast_unwind_on_malloc=0";
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    const QByteArray text = QByteArray::fromRawData(reinterpret_cast<const char*>(data), int(size));
    TessaryInfo info;
    for (int k = 0; k < TessaryInfo::kCount; ++k)
        info.value[k] = QString("before %1").arg(k);
    const TessaryInfo before = info;

    if (!TessaryInfo::fromJson(text, info)) {
        for (int k = 0; k < TessaryInfo::kCount; ++k)
            fuzzCheck(info.value[k] == before.value[k], "text that is not JSON changes nothing");
        return 0;
    }
    const QJsonObject given = QJsonDocument::fromJson(text).object();
    for (int k = 0; k < TessaryInfo::kCount; ++k) {
        const QJsonValue value = given.value(TessaryInfo::keys()[k]);
        fuzzCheck(info.value[k] == (value.isString() ? value.toString() : QString()),
                  "a key's string is kept, anything else reads as empty");
    }

    // The record as a close writes it.
    QJsonObject record;
    for (int k = 0; k < TessaryInfo::kCount; ++k)
        record.insert(TessaryInfo::keys()[k], info.value[k]);
    const QByteArray written = QJsonDocument(record).toJson(QJsonDocument::Indented);
    const QJsonObject file = QJsonDocument::fromJson(written).object();
    fuzzCheck(file.size() == TessaryInfo::kCount, "78 keys written");
    for (const QJsonValue& value : file)
        fuzzCheck(value.isString(), "strings only");
    TessaryInfo again;
    fuzzCheck(TessaryInfo::fromJson(written, again), "the written file reads back");
    for (int k = 0; k < TessaryInfo::kCount; ++k)
        fuzzCheck(again.value[k] == info.value[k], "the written file reads back unchanged");
    return 0;
}
