#include "platform/qt/qt_bitmaps.hpp"

#include <QPixmap>
#include <cstring>

#include "resources/bitmaps.hpp"

namespace korvel {

const QImage& QtBitmapCache::Image(int bitmap_id) {
  auto found = images_.find(bitmap_id);
  if (found != images_.end()) return found->second;
  const BitmapResource resource = LoadBitmapResource(bitmap_id);
  QImage image;
  const size_t expected = static_cast<size_t>(resource.width) * static_cast<size_t>(resource.height);
  if (resource.width > 0 && resource.height > 0 && resource.pixels.size() >= expected) {
    image = QImage(resource.width, resource.height, QImage::Format_RGB32);
    for (int y = 0; y < resource.height; ++y) {
      auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
      const uint32_t* source = resource.pixels.data() + static_cast<size_t>(y) * resource.width;
      for (int x = 0; x < resource.width; ++x) line[x] = 0xFF000000u | (source[x] & 0x00FFFFFFu);
    }
  }
  return images_.emplace(bitmap_id, image).first->second;
}

QIcon QtBitmapCache::Icon(int bitmap_id) {
  const QImage& image = Image(bitmap_id);
  if (image.isNull()) return QIcon();
  return QIcon(QPixmap::fromImage(image));
}

}  // namespace korvel
