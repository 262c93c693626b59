// The configuration-file reader fed any file text: the record keeps its 78
// text values, takes each key's string when the key holds one, and what a
// close writes back from it reads back unchanged.
#include "FuzzSupport.h"
#include "TessaryInfo.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <sanitizer/lsan_interface.h>

namespace {

// Qt 5.15's JSON parser loses the first value of a key given twice when that
// value is a non-empty object or array ({"a": {"b": 1}, "a": 2}). What it
// allocates is not ours to check, and naming it in a suppression would need
// whole allocation stacks through Qt, which slow every input tenfold.
template <typename Parse> auto parsedByQt(Parse parse)
{
    __lsan::ScopedDisabler notOurs;
    return parse();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    const QByteArray text = QByteArray::fromRawData(reinterpret_cast<const char*>(data), int(size));
    TessaryInfo info;
    for (int k = 0; k < TessaryInfo::kCount; ++k)
        info.value[k] = QString("before %1").arg(k);
    const TessaryInfo before = info;

    if (!parsedByQt([&] { return TessaryInfo::fromJson(text, info); })) {
        for (int k = 0; k < TessaryInfo::kCount; ++k)
            fuzzCheck(info.value[k] == before.value[k], "text that is not JSON changes nothing");
        return 0;
    }
    const QJsonObject given = parsedByQt([&] { return QJsonDocument::fromJson(text).object(); });
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
