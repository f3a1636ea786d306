// Bitmaps in picture controls, list item heights and modeless dialogs:
// added beside the dialog implementation, reaching its widgets by the id
// each carries.
#include "platform/ui/picture.h"

#include <QDialog>
#include <QFrame>
#include <QIcon>
#include <QImage>
#include <QListWidget>
#include <QPainter>
#include <QStyledItemDelegate>

#include "platform/ui/dialog_window.h"
#include "platform/ui/frame_window.h"
#include "platform/ui/qt_text.h"

namespace zvrx::platform::ui {

namespace {

// The first widget of the dialog carrying `id`, as GetDlgItem finds it.
QWidget* ItemWidget(const Dialog& dialog, int id) {
  const auto* window = dynamic_cast<const DialogWindow*>(&dialog);
  if (window == nullptr || window->root() == nullptr) return nullptr;
  const auto children = window->root()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
  for (QWidget* child : children) {
    if (child->property("zvrx_id").isValid() && child->property("zvrx_id").toInt() == id) {
      return child;
    }
  }
  return nullptr;
}

bool SameBitmap(const Bitmap& a, const Bitmap& b) {
  return a.width == b.width && a.height == b.height && a.bits_per_pixel == b.bits_per_pixel &&
         a.palette == b.palette && a.rows == b.rows;
}

bool SamePlace(const BitmapPlacement& a, const BitmapPlacement& b) {
  return a.x == b.x && a.y == b.y && a.white_width == b.white_width &&
         a.white_height == b.white_height;
}

size_t RowBytes(const Bitmap& bitmap) {
  return (static_cast<size_t>(bitmap.width) * bitmap.bits_per_pixel / 8 + 3) / 4 * 4;
}

// The device-dependent bitmap: what the screen shows of the rows.
QImage ToImage(const Bitmap& bitmap) {
  QImage image(bitmap.width, bitmap.height, QImage::Format_RGB32);
  const size_t stride = RowBytes(bitmap);
  for (int y = 0; y < bitmap.height; ++y) {
    const uint8_t* row = bitmap.rows.data() + stride * static_cast<size_t>(bitmap.height - 1 - y);
    auto* out = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = 0; x < bitmap.width; ++x) {
      if (bitmap.bits_per_pixel == 8) {
        const auto& colour = row[x] < bitmap.palette.size() ? bitmap.palette[row[x]]
                                                            : std::array<uint8_t, 3>{0, 0, 0};
        out[x] = qRgb(colour[0], colour[1], colour[2]);
      } else {
        out[x] = qRgb(row[3 * x + 2], row[3 * x + 1], row[3 * x]);
      }
    }
  }
  return image;
}

// Lies over a picture control's inside and draws its bitmap there.
class BitmapLayer : public QWidget {
 public:
  explicit BitmapLayer(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setObjectName("zvrx_bitmap_layer");
  }
  Bitmap source;
  QImage image;
  BitmapPlacement place;
  int conversions = 0;

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    if (place.white_width > 0 && place.white_height > 0) {
      painter.fillRect(0, 0, place.white_width, place.white_height, Qt::white);
    }
    painter.drawImage(place.x, place.y, image);
  }
};

BitmapLayer* LayerOf(QWidget* control) {
  return control == nullptr ? nullptr
                            : control->findChild<BitmapLayer*>("zvrx_bitmap_layer",
                                                               Qt::FindDirectChildrenOnly);
}

class FixedHeightItems : public QStyledItemDelegate {
 public:
  FixedHeightItems(int pixels, QObject* parent) : QStyledItemDelegate(parent), pixels_(pixels) {}
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    size.setHeight(pixels_);
    return size;
  }

 private:
  int pixels_;
};

}  // namespace

bool SetItemBitmap(Dialog& dialog, int id, const Bitmap& bitmap, const BitmapPlacement& place) {
  QWidget* control = ItemWidget(dialog, id);
  if (control == nullptr) return false;
  if (bitmap.width <= 0 || bitmap.height <= 0 ||
      (bitmap.bits_per_pixel != 8 && bitmap.bits_per_pixel != 24) ||
      bitmap.rows.size() / RowBytes(bitmap) < static_cast<size_t>(bitmap.height)) {
    return false;
  }
  BitmapLayer* layer = LayerOf(control);
  if (layer == nullptr) {
    layer = new BitmapLayer(control);
    auto* frame = qobject_cast<QFrame*>(control);
    layer->setGeometry(frame != nullptr ? frame->contentsRect() : control->rect());
    layer->show();
  }
  // A repaint hands the same bitmap again: nothing new to draw, and no
  // update that would paint the dialog (and ask for the bitmap) once more.
  if (!layer->image.isNull() && SameBitmap(layer->source, bitmap) && SamePlace(layer->place, place)) {
    return true;
  }
  layer->source = bitmap;
  layer->image = ToImage(bitmap);
  layer->place = place;
  layer->conversions++;
  layer->update();
  return true;
}

void ClearItemBitmap(Dialog& dialog, int id) {
  if (BitmapLayer* layer = LayerOf(ItemWidget(dialog, id))) {
    layer->source = Bitmap{};
    layer->image = QImage();
    layer->update();
  }
}

ItemBitmapInfo ItemBitmap(const Dialog& dialog, int id) {
  ItemBitmapInfo info;
  const BitmapLayer* layer = LayerOf(ItemWidget(dialog, id));
  if (layer == nullptr) return info;
  info.conversions = layer->conversions;
  if (layer->image.isNull()) return info;
  info.present = true;
  info.width = layer->image.width();
  info.height = layer->image.height();
  info.place = layer->place;
  return info;
}

void SetListItemHeight(Dialog& dialog, int id, int pixels) {
  auto* list = qobject_cast<QListWidget*>(ItemWidget(dialog, id));
  if (list == nullptr || pixels <= 0) return;
  list->setItemDelegate(new FixedHeightItems(pixels, list));
  list->doItemsLayout();
}

bool IsListItemVisible(const Dialog& dialog, int id, int index) {
  auto* list = qobject_cast<QListWidget*>(ItemWidget(dialog, id));
  if (list == nullptr || index < 0 || index >= list->count()) return false;
  const QRect item = list->visualItemRect(list->item(index));
  return !item.isEmpty() && list->viewport()->rect().contains(item);
}

std::unique_ptr<Dialog> CreateModelessDialog(const DialogTemplate& dialog, Frame* owner,
                                             DialogEvents& events) {
  auto window = std::make_unique<DialogWindow>(dialog, events, nullptr);
  QDialog* surface = window->modal();
  auto* frame = dynamic_cast<FrameWindow*>(owner);
  const Qt::WindowFlags flags = Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint |
                                Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                                Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
  if (frame != nullptr && frame->window() != nullptr) {
    surface->setParent(frame->window(), flags);
  } else {
    surface->setWindowFlags(flags);
  }
  surface->setWindowModality(Qt::NonModal);
  surface->setWindowTitle(ToQt(dialog.caption));
  // Placed by its template, from its owner's corner.
  const BaseUnits base = DialogBaseUnits(dialog.font_points, dialog.font_face);
  const PixelRect at = DialogUnitsToPixels(dialog.x, dialog.y, 0, 0, base);
  const PixelRect origin = owner != nullptr ? owner->Rect() : PixelRect{};
  window->Move(origin.x + at.x, origin.y + at.y);
  events.OnInit(*window);
  return window;
}

void SetDialogIcon(Dialog& dialog, std::string_view image_path) {
  auto* window = dynamic_cast<DialogWindow*>(&dialog);
  if (window == nullptr || window->root() == nullptr) return;
  window->root()->setWindowIcon(QIcon(QString::fromUtf8(image_path.data(),
                                                        static_cast<qsizetype>(image_path.size()))));
}

}  // namespace zvrx::platform::ui
