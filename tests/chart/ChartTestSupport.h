#pragma once
// Shared by the chart engine's tests: a GUI application without a screen (fonts
// need one) and small helpers for reading rendered pixels.

#include <gtest/gtest.h>

#include <QGuiApplication>
#ifdef QUELMORA_TEST_WIDGETS
#include <QApplication>
#endif
#include <QImage>

#include <memory>
#include <string>

#include "ChartCanvas.h"

class GuiApplicationEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "chart_tests";
        static char* argv[] = {name, nullptr};
#ifdef QUELMORA_TEST_WIDGETS
        if (!QCoreApplication::instance()) app_ = std::make_unique<QApplication>(argc, argv);
#else
        if (!QCoreApplication::instance()) app_ = std::make_unique<QGuiApplication>(argc, argv);
#endif
    }
    void TearDown() override { app_.reset(); }

private:
    std::unique_ptr<QGuiApplication> app_;
};

// The chart colour of a pixel (red in the low byte).
inline TColor PixelColor(const QImage& img, int x, int y) {
    const QRgb p = img.pixel(x, y);
    return static_cast<TColor>(qRed(p)) | (static_cast<TColor>(qGreen(p)) << 8) |
           (static_cast<TColor>(qBlue(p)) << 16);
}

// The smallest rectangle (right and bottom exclusive) holding every pixel that
// differs from the background colour; empty when there is none.
inline TRect InkBounds(const QImage& img, TColor background) {
    TRect r{img.width(), img.height(), 0, 0};
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (PixelColor(img, x, y) != background) {
                r.Left = std::min(r.Left, x), r.Top = std::min(r.Top, y);
                r.Right = std::max(r.Right, x + 1), r.Bottom = std::max(r.Bottom, y + 1);
            }
    return r.IsEmpty() ? TRect{} : r;
}

// Every pixel of a row (or column) as a string: '#' for the colour, '.' otherwise.
inline std::string RowPattern(const QImage& img, int y, int x0, int x1, TColor ink) {
    std::string s;
    for (int x = x0; x < x1; ++x) s += PixelColor(img, x, y) == ink ? '#' : '.';
    return s;
}
inline std::string ColumnPattern(const QImage& img, int x, int y0, int y1, TColor ink) {
    std::string s;
    for (int y = y0; y < y1; ++y) s += PixelColor(img, x, y) == ink ? '#' : '.';
    return s;
}

inline std::string ToString(const TRect& r) {
    return "(" + std::to_string(r.Left) + ", " + std::to_string(r.Top) + ", " + std::to_string(r.Right) +
           ", " + std::to_string(r.Bottom) + ")";
}

inline ::testing::Environment* const kGuiEnvironment =
    ::testing::AddGlobalTestEnvironment(new GuiApplicationEnvironment);
