// What the tests read of a process from /proc.
#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

// The resident memory (VmRSS) of a process in kB, or -1 when unknown.
inline long residentKilobytes(qint64 pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').front().toLong();
    return -1;
}
