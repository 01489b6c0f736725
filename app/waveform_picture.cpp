#include "app/waveform_picture.h"

#include <QPainter>
#include <QPainterPath>

#include <array>
#include <cmath>
#include <iterator>

namespace {

// sin(2 pi k / 33), k = 0..32, worked out by the compiler: libm's sin would map some
// 300 KB of its code and tables into the process for the picture's 67 points.
constexpr double SineSample(int k)
{
    double x = 2 * M_PI * k / 33.0;
    if (x > M_PI)
        x -= 2 * M_PI;  // into -pi..pi, where the series converges quickly
    double term = x;
    double sum = x;
    for (int n = 1; n < 12; ++n) {
        term *= -x * x / ((2 * n) * (2 * n + 1));
        sum += term;
    }
    return sum;
}

constexpr std::array<double, 33> MakeSineSamples()
{
    std::array<double, 33> samples{};
    for (int k = 0; k < 33; ++k)
        samples[static_cast<std::size_t>(k)] = SineSample(k);
    return samples;
}

constexpr std::array<double, 33> kSineSamples = MakeSineSamples();

} // namespace

QPixmap WaveformPicture()
{
    QPixmap pixmap(68, 39);
    pixmap.fill(Qt::white);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(0, 120, 200), 2));
    QPainterPath sine;
    for (int x = 0; x <= 66; ++x) {
        const double y = 11 - 8 * kSineSamples[static_cast<std::size_t>(x % 33)];
        if (x == 0)
            sine.moveTo(1 + x, y);
        else
            sine.lineTo(1 + x, y);
    }
    painter.drawPath(sine);
    painter.setPen(QPen(QColor(0, 160, 0), 2));
    const QPoint pulse[] = {{1, 35}, {10, 35}, {10, 25}, {22, 25}, {22, 35}, {34, 35}, {34, 25},
                            {46, 25}, {46, 35}, {58, 35}, {58, 25}, {67, 25}};
    painter.drawPolyline(pulse, static_cast<int>(std::size(pulse)));
    return pixmap;
}
