#pragma once

#include <QByteArray>
#include <QtEndian>

// The plain length a SWF header declares.
inline quint32 declaredLength(const QByteArray& swf) {
    return qFromLittleEndian<quint32>(swf.constData() + 4);
}
