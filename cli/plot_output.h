#pragma once
// The plots' PNG output for velmorctl: Qt GUI on the offscreen platform, never Qt Widgets, so
// the other commands keep running without a display.

#include <QGuiApplication>
#include <QImage>
#include <QSize>
#include <functional>
#include <memory>
#include <string>

namespace cli {

// The Qt GUI a plot command needs for fonts and painting. Chooses the offscreen platform unless
// QT_QPA_PLATFORM already names one.
class OffscreenGui {
 public:
  OffscreenGui();
  ~OffscreenGui();
  OffscreenGui(const OffscreenGui&) = delete;
  OffscreenGui& operator=(const OffscreenGui&) = delete;

 private:
  int m_argc = 1;
  char m_name[10] = "velmorctl";
  char* m_argv[2] = {m_name, nullptr};
  std::unique_ptr<QGuiApplication> m_app;
};

// "WxH" in pixels, each 1..16384; throws Failure(kExitUsage) for anything else.
QSize ParsePlotSize(const std::string& text);

// The client size in pixels of a bordered picture control of the given size in dialog units,
// in a dialog with the tool's dialog font ("MS Shell Dlg" 8): what the plot bitmap measures.
// Needs an OffscreenGui.
QSize PictureClientSize(int widthDlu, int heightDlu);

// Paints a white image of `size` with `paint` and writes it to `path` as PNG. Throws
// Failure(kExitUsage) when the file cannot be written.
void WritePlotPng(const std::string& path, QSize size, const std::function<void(QImage&)>& paint);

}  // namespace cli
