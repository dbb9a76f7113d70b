#include "ParentsGate.h"

#include <QRandomGenerator>

ParentsGate ParentsGate::random(QRandomGenerator& rng) {
    ParentsGate gate;
    gate.product = rng.bounded(2) == 1;
    gate.a = rng.bounded(11, 100);
    gate.b = gate.product ? rng.bounded(3, 10) : rng.bounded(11, 100);
    return gate;
}

QString ParentsGate::question() const {
    return QStringLiteral("%1 %2 %3 = ?")
        .arg(QString::number(a), product ? QStringLiteral("×") : QStringLiteral("+"),
             QString::number(b));
}

bool ParentsGate::accepts(const QString& typed) const {
    bool ok = false;
    const int value = typed.trimmed().toInt(&ok);
    return ok && value == answer();
}
