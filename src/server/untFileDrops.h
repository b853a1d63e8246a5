#pragma once
// File drops on request: the inner-range interface file and generic time-stamped files.

#include <QByteArray>
#include <QString>

struct TInnerRangeSettings {
    bool bInnerRangeInterface = false;
    int intInnerRangeFile_Format = 0;
    QString strInnerRangeGenericFile_Name;
    QString strInnerRangeFilePath;
};

// Appends strData + separator + time stamp; creates the file with its header. Throws EUlmex
// when the file cannot be opened or written.
void InnerRangeFileWrite(const TInnerRangeSettings& settings, const QByteArray& data,
                         const QString& stampFormat);
// strData = file name + "^" + line; appends time stamp + ", " + line to the file in the work
// folder. Throws EUlmex when the file could not be opened at all.
void GenericFileWrite(const QByteArray& data, const QString& stampFormat);
