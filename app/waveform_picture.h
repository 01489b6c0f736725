#pragma once
#include <QPixmap>

// The small picture in the preset group, 68 × 39 pixels: a sine over a pulse train.
QPixmap WaveformPicture();
