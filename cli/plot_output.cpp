#include "cli/plot_output.h"

#include <QBuffer>
#include <QByteArray>
#include <QtGlobal>
#include <charconv>
#include <cstdio>

#include "cli/cli_context.h"
#include "panel/dialog_units.h"

namespace cli {
namespace {

constexpr int kMaxPlotSide = 16384;  // pixels
constexpr int kBorderPixels = 1;     // each side of a bordered control

// Qt notes on stderr that it has no runtime folder when XDG_RUNTIME_DIR is unset; nothing of
// ours needs one, and a script should see only our own one-line messages there.
void QuietHandler(QtMsgType type, const QMessageLogContext& context, const QString& message) {
  if (type == QtWarningMsg && message.startsWith(QLatin1String("QStandardPaths:"))) return;
  std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, message)));
}

}  // namespace

OffscreenGui::OffscreenGui() {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  qInstallMessageHandler(QuietHandler);
  m_app = std::make_unique<QGuiApplication>(m_argc, m_argv);
}

OffscreenGui::~OffscreenGui() = default;

QSize ParsePlotSize(const std::string& text) {
  const auto bad = [&text]() {
    return Failure(kExitUsage, "--size wants WIDTHxHEIGHT in pixels, each 1.." +
                                   std::to_string(kMaxPlotSide) + ", got '" + text + "'");
  };
  const auto cross = text.find('x');
  if (cross == std::string::npos) throw bad();
  int width = 0;
  int height = 0;
  const char* begin = text.data();
  const char* end = text.data() + text.size();
  const auto w = std::from_chars(begin, begin + cross, width);
  const auto h = std::from_chars(begin + cross + 1, end, height);
  if (w.ec != std::errc{} || w.ptr != begin + cross || h.ec != std::errc{} || h.ptr != end) {
    throw bad();
  }
  if (width < 1 || height < 1 || width > kMaxPlotSide || height > kMaxPlotSide) throw bad();
  return {width, height};
}

QSize PictureClientSize(int widthDlu, int heightDlu) {
  const DialogUnits units(DialogUnits::DialogFont());
  return {units.X(widthDlu) - 2 * kBorderPixels, units.Y(heightDlu) - 2 * kBorderPixels};
}

void WritePlotPng(const std::string& path, QSize size, const std::function<void(QImage&)>& paint) {
  QImage image(size, QImage::Format_RGB32);
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

}  // namespace cli
