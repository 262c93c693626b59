#pragma once

#include <QString>
#include <QStringList>

// The save panel's checks, run in this order before a save is handed over.

// Whether the path field names an existing folder (not a file).
bool isSaveFolder(const QString& field);

// Whether the save's longest files can be made: its last table and, with
// pictures, its last picture. One already there will be replaced.
bool saveFilesCanBeMade(const QString& directory, const QString& name, bool pictures);

// A new save never mixes its files with an earlier one of the same name:
// the user replaces the earlier save as a whole, or keeps it and no save
// starts. True when the directory is free for the save.
bool earlierSaveReplaced(const QString& directory, const QString& name);
