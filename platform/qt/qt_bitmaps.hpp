#pragma once
#include <QIcon>
#include <QImage>
#include <map>

namespace korvel {

// The bitmap resources as Qt images, built on first use and kept for the life of the host (the
// wiring diagram is drawn again on every scroll step).
class QtBitmapCache {
 public:
  // A null image for an unknown id.
  const QImage& Image(int bitmap_id);
  QIcon Icon(int bitmap_id);

 private:
  std::map<int, QImage> images_;
};

}  // namespace korvel
