#pragma once

#include <QString>

class QWidget;

// Twips are the design unit of the window and the dialog: 15 to a pixel at
// the usual 96 dots per inch.
constexpr int kTwipsPerPixel = 15;

int pixelsFromTwips(int twips);
// A length in pixels as twips; never below 0.
int pixelExtentFromTwips(int twips);

// A design geometry in twips: left, top, width, height (relative to the
// parent).
struct TwipsRect {
    int left, top, width, height;
};

// Names a widget after its control and puts it at its design geometry.
QWidget* placeTwips(QWidget* widget, const QString& name, const TwipsRect& design);
template <typename W> W* placedTwips(W* widget, const QString& name, const TwipsRect& design) {
    placeTwips(widget, name, design);
    return widget;
}

// Sets a widget's size in twips, keeping its place.
void setSizeTwips(QWidget* widget, int width, int height);
void setHeightTwips(QWidget* widget, int height);
