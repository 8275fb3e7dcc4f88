#pragma once

#include <QDate>
#include <QString>

// Names and folders of record files. Qt Core only; these touch the file system where said.

// "ARV" + the date as yyyyMMdd + "_001", for example ARV20240105_001.
QString initialRecordBaseName(const QDate &date);

// folder + "//" + base name + ".csv" (the two slashes are literal; the system reads them as
// one separator).
QString recordFilePath(const QString &folder, const QString &baseName);

// While recordFilePath(folder, baseName) exists, the last three characters of baseName are
// read as a number n (0 when they are not three digits) and replaced by n + 1 with at least
// three digits: ARV20240105_001 → ARV20240105_002, …, _999 → _1000. baseName keeps the new
// value, so consecutive recordings count on. Looks at the folder once per name tried.
void makeUniqueRecordName(const QString &folder, QString &baseName);

// Whether a file can be created in folder: creates and removes a temporary file there. On
// failure reason (when given) receives the system's explanation, e.g. "Permission denied".
bool canWriteRecordFolder(const QString &folder, QString *reason = nullptr);
