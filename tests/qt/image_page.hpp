#pragma once
// A page window that is only its image and two Qt canvases on it, for drawing a page procedure
// without widgets or an event loop (the tick benchmarks measure only the drawing the page asks
// for); every control operation is accepted and ignored.
#include <gtest/gtest.h>
#include <time.h>

#include <QColor>
#include <QImage>
#include <array>
#include <cstdint>
#include <memory>

#include "platform/qt/qt_bitmaps.hpp"
#include "platform/qt/qt_canvas.hpp"
#include "platform/qt/qt_fonts.hpp"
#include "platform/window.hpp"

namespace korvel::qt_test {

inline uint64_t ThreadCpuNs() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<uint64_t>(t.tv_sec) * 1000000000u + static_cast<uint64_t>(t.tv_nsec);
}

class ImagePage : public Window {
 public:
  ImagePage(int width, int height, const QtFontSet& fonts, QtBitmapCache& bitmaps, QColor fill = Qt::white)
      : image_(width, height, QImage::Format_RGB32) {
    image_.fill(fill);
    for (auto& canvas : canvases_) canvas = std::make_unique<QtCanvas>(image_, fonts, bitmaps);
  }
  const QImage& image() const { return image_; }

  void AddListEntry(int, const char*) override {}
  void ResetList(int) override {}
  void SelectListEntry(int, int) override {}
  int GetListSelection(int) override { return -1; }
  int GetListCount(int) override { return 0; }
  void SetCheck(int, bool) override {}
  bool GetCheck(int) override { return false; }
  void ShowControl(int, bool) override {}
  void EnableControl(int, bool) override {}
  void SetControlText(int, const char*) override {}
  void MoveControl(int, int, int, int, int) override {}
  void SetScrollRange(int, int, int) override {}
  void SetScrollPosition(int, int) override {}
  int GetScrollPosition(int) override { return 0; }
  void SetTimer(int, uint32_t) override {}
  void KillTimer(int) override {}
  void MoveWindow(int, int, int, int) override {}
  Size GetWindowSize() override { return {image_.width(), image_.height()}; }
  void SetTitle(const char*) override {}
  void EndDialog(int) override {}
  Canvas& GetContext() override {
    for (size_t i = 0; i < canvases_.size(); ++i) {
      if (!taken_[i]) {
        taken_[i] = true;
        canvases_[i]->Reset();
        return *canvases_[i];
      }
    }
    ADD_FAILURE() << "more than two contexts held at once";
    return *canvases_[0];
  }
  void ReleaseContext(Canvas& canvas) override {
    for (size_t i = 0; i < canvases_.size(); ++i) {
      if (canvases_[i].get() == &canvas) taken_[i] = false;
    }
  }

 private:
  QImage image_;
  std::array<std::unique_ptr<QtCanvas>, 2> canvases_;
  std::array<bool, 2> taken_{};
};

}  // namespace korvel::qt_test
