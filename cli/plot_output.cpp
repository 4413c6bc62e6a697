#include "cli/plot_output.h"

#include <QBuffer>
#include <QByteArray>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QSize>
#include <QtGlobal>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>

#include "cli/cli_context.h"
#include "eq/plot_painter.h"
#include "panel/dialog_units.h"

#if defined(_WIN32)
#include <windows.h>
#endif

namespace cli {
namespace {

constexpr int kBorderPixels = 1;  // each side of a bordered control

// The panel's plot control and the test window's, in dialog units, each with a border.
constexpr int kResponseWidthDlu = 333;
constexpr int kResponseHeightDlu = 174;
constexpr int kSpectrumWidthDlu = 446;
constexpr int kSpectrumHeightDlu = 288;

// Qt notes on stderr that it has no runtime folder when XDG_RUNTIME_DIR is unset; nothing of
// ours needs one, and a script should see only our own one-line messages there.
void QuietHandler(QtMsgType type, const QMessageLogContext& context, const QString& message) {
  if (type == QtWarningMsg && message.startsWith(QLatin1String("QStandardPaths:"))) return;
  std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, message)));
}

#if defined(_WIN32)
// The offscreen platform on Windows reads fonts only from one folder, not the system's: the
// "fonts" folder that ships beside the program, unless QT_QPA_FONTDIR names another. The faces
// the plots ask for get the stand-ins fontconfig picks on Linux, so both draw the same picture.
void UseShippedFonts() {
  if (qEnvironmentVariableIsEmpty("QT_QPA_FONTDIR")) {
    wchar_t path[MAX_PATH];
    const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    if (n > 0 && n < MAX_PATH) {
      std::wstring folder(path, n);
      folder.resize(folder.find_last_of(L'\\') + 1);
      _wputenv_s(L"QT_QPA_FONTDIR", (folder + L"fonts").c_str());
    }
  }
  QFont::insertSubstitution(QStringLiteral("Arial"), QStringLiteral("Liberation Sans"));
  QFont::insertSubstitution(QStringLiteral("MS Shell Dlg"), QStringLiteral("DejaVu Sans"));
}
#endif

// The Qt GUI a plot needs for fonts and painting. Chooses the offscreen platform unless
// QT_QPA_PLATFORM already names one.
class OffscreenGui {
 public:
  OffscreenGui() {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
#if defined(_WIN32)
    UseShippedFonts();
#endif
    qInstallMessageHandler(QuietHandler);
    m_app = std::make_unique<QGuiApplication>(m_argc, m_argv);
  }
  OffscreenGui(const OffscreenGui&) = delete;
  OffscreenGui& operator=(const OffscreenGui&) = delete;

 private:
  int m_argc = 1;
  char m_name[10] = "velmorctl";
  char* m_argv[2] = {m_name, nullptr};
  std::unique_ptr<QGuiApplication> m_app;
};

// The client size in pixels of a bordered picture control of the given size in dialog units,
// in a dialog with the tool's dialog font ("MS Shell Dlg" 8): what the plot bitmap measures.
QSize PictureClientSize(int widthDlu, int heightDlu) {
  const DialogUnits units(DialogUnits::DialogFont());
  return {units.X(widthDlu) - 2 * kBorderPixels, units.Y(heightDlu) - 2 * kBorderPixels};
}

// Paints a white image with `paint` and writes it to `path` as PNG.
void WritePlotPng(const std::string& path, PlotSize size, int widthDlu, int heightDlu,
                  const std::function<void(QImage&)>& paint) {
  const QSize pixels =
      size.width > 0 ? QSize(size.width, size.height) : PictureClientSize(widthDlu, heightDlu);
  QImage image(pixels, QImage::Format_RGB32);
  image.fill(Qt::white);  // a picture too small to paint stays plain white
  paint(image);
  if (path == "-") {
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "PNG") ||
        std::fwrite(png.constData(), 1, static_cast<std::size_t>(png.size()), stdout) !=
            static_cast<std::size_t>(png.size()) ||
        std::fflush(stdout) != 0) {
      throw Failure(kExitUsage, "cannot write the picture to standard output");
    }
    return;
  }
  if (!image.save(QString::fromStdString(path), "PNG")) {
    throw Failure(kExitUsage, "cannot write the picture to '" + path + "'");
  }
}

}  // namespace

bool PngOutputAvailable() {
  return true;
}

void WriteResponsePng(const std::string& path, eq::ResponseCurve& curve, bool autoscale,
                      PlotSize size) {
  OffscreenGui gui;
  WritePlotPng(path, size, kResponseWidthDlu, kResponseHeightDlu,
               [&](QImage& image) { eq::Paint(&image, curve, autoscale); });
}

void WriteSpectrumPng(const std::string& path, const hwtest::TestSpectrum& spectrum,
                      PlotSize size) {
  OffscreenGui gui;
  eq::PlotState<hwtest::TestSpectrum::kBinCount> plot;
  WritePlotPng(path, size, kSpectrumWidthDlu, kSpectrumHeightDlu,
               [&](QImage& image) { eq::PaintPlot(&image, spectrum.Series(), plot, false); });
}

}  // namespace cli
