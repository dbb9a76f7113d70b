#include "Twips.h"

#include <QWidget>
#include <QtMath>

int pixelsFromTwips(int twips) {
    return qRound(static_cast<double>(twips) / kTwipsPerPixel);
}

int pixelExtentFromTwips(int twips) {
    return qMax(0, pixelsFromTwips(twips));
}

void setSizeTwips(QWidget* widget, int width, int height) {
    widget->resize(pixelExtentFromTwips(width), pixelExtentFromTwips(height));
}

void setHeightTwips(QWidget* widget, int height) {
    widget->resize(widget->width(), pixelExtentFromTwips(height));
}

QWidget* placeTwips(QWidget* widget, const QString& name, const TwipsRect& design) {
    widget->setObjectName(name);
    widget->setGeometry(pixelsFromTwips(design.left), pixelsFromTwips(design.top),
                        pixelsFromTwips(design.width), pixelsFromTwips(design.height));
    return widget;
}
