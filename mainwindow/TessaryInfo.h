#pragma once

#include <QByteArray>
#include <QString>

// The configuration record written to ./tessary_info.json: 78 text values,
// value k belonging to key k of keys().
struct TessaryInfo
{
    static constexpr int kCount = 78;
    QString value[kCount];

    static const QString* keys();

    // Fills `info` from the text of the file. A key that is missing or holds
    // no string gives an empty value; text that is not JSON leaves `info` as
    // it was and gives false.
    static bool fromJson(const QByteArray& text, TessaryInfo& info);
};
