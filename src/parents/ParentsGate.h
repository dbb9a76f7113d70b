#pragma once

#include <QString>

class QRandomGenerator;

// The question a small child cannot answer: the sum of two two-digit
// numbers, or a two-digit number times a one-digit one, typed in.
struct ParentsGate {
    int a = 0, b = 0;
    bool product = false;

    static ParentsGate random(QRandomGenerator& rng);
    // "47 + 38 = ?" or "23 × 7 = ?"
    QString question() const;
    int answer() const { return product ? a * b : a + b; }
    // The typed text, blanks around it allowed.
    bool accepts(const QString& typed) const;
};
