#pragma once
#include <QColor>

#include "wizard/Look.h"

// The look constants as Qt colours.
namespace look {
inline QColor QtColour(TRgb c) { return QColor(c.r, c.g, c.b); }
inline const QColor clButtonColor = QtColour(rgbButtonColor);
inline const QColor clButtonColor2 = QtColour(rgbButtonColor2);
inline const QColor clTextColor = QtColour(rgbTextColor);
inline const QColor clLinkColor = QtColour(rgbLinkColor);
inline const QColor clProgressColor = QtColour(rgbProgressColor);
inline const QColor clProgressBackColor = QtColour(rgbProgressBackColor);
}  // namespace look
