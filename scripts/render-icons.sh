#!/usr/bin/env bash
# Draws the PNG sizes of the program icon from src/resources/icons/pomvex.svg with Qt's own SVG
# renderer (keeps the transparency). Run after editing the SVG and commit the PNGs.
set -euo pipefail
cd "$(dirname "$0")/.."
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cat > "$work/render.cpp" <<'CPP'
#include <QGuiApplication>
#include <QImage>
#include <QImageReader>
#include <cstdio>
int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    const QString svg = QString::fromLocal8Bit(argv[1]), outDir = QString::fromLocal8Bit(argv[2]);
    for (int size : {16, 32, 48, 64, 128, 256}) {
        QImageReader reader(svg);
        reader.setScaledSize(QSize(size, size));
        QImage image = reader.read();
        const QString out = QStringLiteral("%1/pomvex-%2.png").arg(outDir).arg(size);
        if (image.isNull() || !image.save(out)) {
            std::fprintf(stderr, "cannot draw %s\n", qPrintable(out));
            return 1;
        }
    }
    return 0;
}
CPP
# shellcheck disable=SC2046
g++ -std=c++20 -fPIC "$work/render.cpp" -o "$work/render" $(pkg-config --cflags --libs Qt6Gui)
QT_QPA_PLATFORM=offscreen "$work/render" src/resources/icons/pomvex.svg src/resources/icons
ls -l src/resources/icons/pomvex-*.png
