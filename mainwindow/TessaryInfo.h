#pragma once

#include <QString>

// The configuration record written to ./tessary_info.json: 78 text values,
// value k belonging to key k of keys().
struct TessaryInfo
{
    static constexpr int kCount = 78;
    QString value[kCount];

    static const QString* keys();
};
