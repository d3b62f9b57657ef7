#include "platform/qt/qt_window.hpp"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QCloseEvent>
#include <QEvent>
#include <QFontMetrics>
#include <QFrame>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPaintEvent>
#include <QPixmap>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>
#include <QWheelEvent>
#include <QWindow>
#include <algorithm>

#include "platform/qt/qt_bitmaps.hpp"
#include "texts/language_table.hpp"

namespace korvel {

QString FromCp1250(const char* text) {
  if (text == nullptr) return QString();
  return QString::fromStdString(Cp1250ToUtf8(text));
}

// ---------------------------------------------------------------------------------------------
// Static text

QString WrapAtSpaces(const QString& text, const QFontMetrics& metrics, int width) {
  QStringList lines;
  for (const QString& paragraph : text.split(QLatin1Char('\n'))) {
    QString line;
    const qsizetype length = paragraph.size();
    qsizetype i = 0;
    while (i < length) {
      qsizetype word_start = i;
      while (word_start < length && paragraph[word_start] == QLatin1Char(' ')) ++word_start;
      qsizetype word_end = word_start;
      while (word_end < length && paragraph[word_end] != QLatin1Char(' ')) ++word_end;
      const QString spaces = paragraph.mid(i, word_start - i);
      const QString word = paragraph.mid(word_start, word_end - word_start);
      if (!line.isEmpty() && !word.isEmpty() && metrics.horizontalAdvance(line + spaces + word) > width) {
        lines << line;
        line = word;
      } else {
        line += spaces + word;
      }
      i = word_end;
    }
    lines << line;
  }
  return lines.join(QLatin1Char('\n'));
}

QtStaticText::QtStaticText(const QString& text, bool wrap, QWidget* parent)
    : QLabel(parent), source_(text), wrap_(wrap) {
  setTextFormat(Qt::PlainText);
  setWordWrap(false);
  Rewrap();
}

void QtStaticText::SetSourceText(const QString& text) {
  source_ = text;
  Rewrap();
}

void QtStaticText::resizeEvent(QResizeEvent* event) {
  QLabel::resizeEvent(event);
  Rewrap();
}

void QtStaticText::Rewrap() {
  const int width = contentsRect().width() - 2 * std::max(0, indent()) - 2 * margin();
  const QString shown = wrap_ ? WrapAtSpaces(source_, fontMetrics(), width) : source_;
  if (shown != text()) setText(shown);
  // A plain left-aligned label whose single word is wider than its box (our fonts run a little
  // wider than the layouts were drawn for) grows to the right instead of cutting the word, so the
  // program version reads "1.03" and not "1.0".
  if (frameShape() == QFrame::NoFrame && (alignment() & Qt::AlignLeft) && !shown.contains(QLatin1Char('\n'))) {
    const int needed = fontMetrics().horizontalAdvance(shown) + (this->width() - width);
    if (needed > this->width()) resize(needed, height());
  }
}

// ---------------------------------------------------------------------------------------------
// Drop-down list

QtComboBox::QtComboBox(QWidget* parent) : QComboBox(parent) {
  // A drop-down list takes the keyboard focus by the wheel by default: the application would
  // hand it the focus just before the wheel event arrives, and the check in wheelEvent would let
  // every list under the mouse change (and write to the controller).
  setFocusPolicy(Qt::StrongFocus);
}

void QtComboBox::showPopup() {
  if (dropped_) {
    QComboBox::showPopup();
    return;
  }
  dropped_ = true;
  if (notify) notify(kComboDroppedDown);
  QComboBox::showPopup();
  QWidget* popup = view() != nullptr ? view()->window() : nullptr;
  if (popup != nullptr && popup != window() && popup != watched_popup_) {
    popup->installEventFilter(this);
    watched_popup_ = popup;
  }
  // An empty list shows nothing; it has closed up again at once.
  if (popup == nullptr || popup == window() || !popup->isVisible()) ClosedUp();
}

void QtComboBox::hidePopup() {
  QComboBox::hidePopup();
  ClosedUp();
}

bool QtComboBox::eventFilter(QObject* watched, QEvent* event) {
  if (watched == watched_popup_ && event->type() == QEvent::Hide) ClosedUp();
  return QComboBox::eventFilter(watched, event);
}

void QtComboBox::wheelEvent(QWheelEvent* event) {
  if (!hasFocus()) {
    event->ignore();
    return;
  }
  QComboBox::wheelEvent(event);
}

void QtComboBox::ClosedUp() {
  if (!dropped_) return;
  dropped_ = false;
  if (notify) notify(kComboClosedUp);
}

// ---------------------------------------------------------------------------------------------
// Window

QtWindow::QtWindow(QtWindowServices& services, QWidget& surface, QDialog* dialog)
    : services_(services), surface_(&surface), dialog_(dialog) {}

QtWindow::~QtWindow() {
  procedure_ = nullptr;
  destroyed_ = true;
  KillAllTimers();
  // The controls go before the rest of the surface so that none of them reaches this window
  // while it is being taken apart.
  for (Control& control : controls_) delete control.widget;
  controls_.clear();
}

QtWindow::Control* QtWindow::Find(int id) {
  for (Control& control : controls_) {
    if (control.id == id) return &control;
  }
  return nullptr;
}

QWidget* QtWindow::ControlWidget(int id) {
  Control* control = Find(id);
  return control != nullptr ? control->widget : nullptr;
}

QString QtWindow::ControlText(int id) {
  Control* control = Find(id);
  if (control == nullptr) return QString();
  switch (control->kind) {
    case ControlKind::kPushButton:
      return control->text_label != nullptr ? control->text_label->SourceText()
                                            : static_cast<QPushButton*>(control->widget)->text();
    case ControlKind::kCheckBox: return static_cast<QCheckBox*>(control->widget)->text();
    case ControlKind::kStatic: return static_cast<QtStaticText*>(control->widget)->SourceText();
    case ControlKind::kEdit: return static_cast<QLineEdit*>(control->widget)->text();
    case ControlKind::kGroupBox: return static_cast<QGroupBox*>(control->widget)->title();
    case ControlKind::kComboBox: return static_cast<QComboBox*>(control->widget)->currentText();
    default: return QString();
  }
}

void QtWindow::Build(const DialogTemplate& dialog) {
  template_id_ = dialog.id;
  // The base units are the average character width and the cell height of the template font:
  // four horizontal and eight vertical dialog units.
  const PixelRect base = DialogUnitsToPixels(dialog, 0, 0, 4, 8);
  base_width_ = std::max(1, base.width);
  base_height_ = std::max(1, base.height);
  surface_->setFont(services_.ControlFont(base_width_, base_height_));
  if (dialog_ != nullptr) dialog_->setWindowTitle(FromCp1250(dialog.title));

  const PixelRect size = DialogSizeInPixels(dialog);
  if (dialog_ != nullptr) {
    dialog_->setFixedSize(std::max(1, size.width), std::max(1, size.height));
  } else {
    surface_->resize(std::max(1, size.width), std::max(1, size.height));
  }
  ResizeImage(surface_->size());

  for (int i = 0; i < dialog.control_count; ++i) CreateControl(dialog.controls[i], dialog);
}

void QtWindow::CreateControl(const ControlTemplate& control, const DialogTemplate& dialog) {
  const PixelRect r = DialogUnitsToPixels(dialog, control.x, control.y, control.width, control.height);
  const QString text = FromCp1250(control.text);
  const int id = control.id;
  MadeControl made;
  switch (control.kind) {
    case ControlKind::kPushButton:
      made = MakePushButton(control, text);
      break;
    case ControlKind::kCheckBox: {
      auto* box = new QCheckBox(text, surface_);
      box->setAutoFillBackground(true);
      // An automatic check box: the click toggles it first, then the page hears of it.
      QObject::connect(box, &QCheckBox::clicked, surface_, [this, id] { Command(id, kButtonClicked); });
      made.widget = box;
      break;
    }
    case ControlKind::kComboBox: {
      auto* combo = new QtComboBox(surface_);
      // A list that drops below the box with a scroll bar, as many rows as the template allows.
      combo->setStyleSheet(QStringLiteral("combobox-popup: 0;"));
      combo->notify = [this, id](int code) { Command(id, code); };
      // Only a choice of the user is a selection change; selections made by the page are not.
      QObject::connect(combo, &QComboBox::activated, surface_,
                       [this, id](int) { Command(id, kComboSelectionChanged); });
      PlaceCombo(*combo, r.x, r.y, r.width, r.height);
      made = MadeControl{combo, nullptr, true};
      break;
    }
    case ControlKind::kStatic:
      made.widget = MakeStaticText(control.style, text);
      break;
    case ControlKind::kEdit: {
      auto* edit = new QLineEdit(text, surface_);
      edit->setFrame(true);
      made.widget = edit;
      break;
    }
    case ControlKind::kHScrollBar:
    case ControlKind::kVScrollBar: {
      const bool vertical = control.kind == ControlKind::kVScrollBar;
      auto* bar = new QScrollBar(vertical ? Qt::Vertical : Qt::Horizontal, surface_);
      bar->setRange(0, 100);
      QObject::connect(bar, &QScrollBar::actionTriggered, surface_,
                       [this, id, vertical](int action) { Scroll(id, vertical, action); });
      made.widget = bar;
      break;
    }
    case ControlKind::kGroupBox:
    case ControlKind::kEtchedFrame:
    case ControlKind::kGreyRule:
      made.widget = MakeFrame(control.kind, text);
      break;
    case ControlKind::kBitmap:
    case ControlKind::kIcon:
      made = MakePicture(control.resource, r);
      break;
  }
  if (made.widget == nullptr) return;
  if (!made.placed) made.widget->setGeometry(r.x, r.y, std::max(0, r.width), std::max(0, r.height));
  if ((control.style & kHidden) != 0) made.widget->setVisible(false);
  controls_.push_back(Control{id, control.kind, made.widget, made.text_label});
}

QtWindow::MadeControl QtWindow::MakePushButton(const ControlTemplate& control, const QString& text) {
  const int id = control.id;
  auto* button = new QPushButton(surface_);
  QtStaticText* text_label = nullptr;
  if ((control.style & kMultiLine) != 0) {
    text_label = new QtStaticText(text, true, button);
    text_label->setAlignment(Qt::AlignCenter);
    text_label->setAttribute(Qt::WA_TransparentForMouseEvents);
    // The button keeps the size it is given, whatever its text.
    text_label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
    auto* layout = new QHBoxLayout(button);
    layout->setSizeConstraint(QLayout::SetNoConstraint);
    layout->setContentsMargins(3, 2, 3, 2);
    layout->addWidget(text_label);
  } else {
    button->setText(text);
  }
  // In a modal dialog the Enter key presses the button with the OK id.
  if (dialog_ != nullptr) {
    button->setAutoDefault(false);
    button->setDefault(id == kIdOk);
  }
  QObject::connect(button, &QPushButton::clicked, surface_, [this, id] { Command(id, kButtonClicked); });
  return MadeControl{button, text_label, false};
}

QWidget* QtWindow::MakeStaticText(uint32_t style, const QString& text) {
  auto* label = new QtStaticText(text, (style & kVCentred) == 0, surface_);
  Qt::Alignment alignment = (style & kCentred) != 0        ? Qt::AlignHCenter
                            : (style & kRightAligned) != 0 ? Qt::AlignRight
                                                           : Qt::AlignLeft;
  alignment |= (style & kVCentred) != 0 ? Qt::AlignVCenter : Qt::AlignTop;
  label->setAlignment(alignment);
  if ((style & kSunken) != 0) {
    label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    label->setLineWidth(1);
    label->setIndent(1);
  } else if ((style & kBorder) != 0) {
    label->setFrameStyle(QFrame::Box | QFrame::Plain);
    label->setLineWidth(1);
    label->setIndent(1);
  }
  label->setAutoFillBackground(true);
  return label;
}

// A group box, an etched frame or a grey rule: drawn only, never clicked.
QWidget* QtWindow::MakeFrame(ControlKind kind, const QString& text) {
  QWidget* frame = nullptr;
  if (kind == ControlKind::kGroupBox) {
    frame = new QGroupBox(text, surface_);
  } else if (kind == ControlKind::kEtchedFrame) {
    auto* etched = new QFrame(surface_);
    etched->setFrameStyle(QFrame::Box | QFrame::Sunken);
    etched->setLineWidth(1);
    frame = etched;
  } else {
    frame = new QFrame(surface_);
    QPalette palette = frame->palette();
    palette.setColor(QPalette::Window, QColor(128, 128, 128));
    frame->setPalette(palette);
    frame->setAutoFillBackground(true);
  }
  frame->setAttribute(Qt::WA_TransparentForMouseEvents);
  return frame;
}

// A picture control takes the size of its picture; without the picture it keeps the template's.
QtWindow::MadeControl QtWindow::MakePicture(int resource, const PixelRect& r) {
  auto* label = new QLabel(surface_);
  const QImage& image = services_.Bitmaps().Image(resource);
  if (image.isNull()) return MadeControl{label, nullptr, false};
  label->setPixmap(QPixmap::fromImage(image));
  label->setGeometry(r.x, r.y, image.width(), image.height());
  return MadeControl{label, nullptr, true};
}

void QtWindow::PlaceCombo(QtComboBox& combo, int x, int y, int width, int height) {
  // The height given includes the dropped list; the closed box is one text line high.
  const int closed = std::max(1, std::min(height, base_height_ + 8));
  const int row = QFontMetrics(combo.font()).height() + 2;
  combo.setMaxVisibleItems(std::max(1, (height - closed) / std::max(1, row)));
  combo.setGeometry(x, y, std::max(0, width), closed);
}

bool QtWindow::DeliverInitDialog() {
  if (procedure_ == nullptr || destroyed_) return true;
  return procedure_->OnInitDialog(*this);
}

void QtWindow::Destroy() {
  if (destroyed_) return;
  KillAllTimers();
  WindowProc* procedure = procedure_;
  destroyed_ = true;
  procedure_ = nullptr;
  if (procedure != nullptr) procedure->OnDestroy(*this);
}

void QtWindow::Command(int id, int code) {
  if (procedure_ == nullptr || destroyed_) return;
  procedure_->OnCommand(*this, id, code);
}

void QtWindow::Scroll(int id, bool vertical, int action) {
  Control* control = Find(id);
  if (control == nullptr) return;
  auto* bar = static_cast<QScrollBar*>(control->widget);
  int request = 0;
  switch (action) {
    case QAbstractSlider::SliderSingleStepSub: request = kScrollLineUp; break;
    case QAbstractSlider::SliderSingleStepAdd: request = kScrollLineDown; break;
    case QAbstractSlider::SliderPageStepSub: request = kScrollPageUp; break;
    case QAbstractSlider::SliderPageStepAdd: request = kScrollPageDown; break;
    case QAbstractSlider::SliderMove: request = kScrollThumbTrack; break;
    case QAbstractSlider::SliderToMinimum: request = 6; break;  // top
    case QAbstractSlider::SliderToMaximum: request = 7; break;  // bottom
    default: return;
  }
  const int position = bar->sliderPosition();
  // The thumb of a scroll bar follows the mouse while dragged; otherwise it moves only when the
  // page sets its position.
  if (action != QAbstractSlider::SliderMove) bar->setSliderPosition(bar->value());
  if (procedure_ == nullptr || destroyed_) return;
  procedure_->OnScroll(*this, id, vertical, request, position);
}

void QtWindow::HandleCancel() { Command(kIdCancel, 0); }

void QtWindow::RequestPaint() {
  paint_due_ = true;
  surface_->update();
}

void QtWindow::HandlePaint(const QRegion& region) {
  // A repaint that only shows what was drawn into the image is not a paint for the procedure.
  const bool deliver = paint_due_ || !(region - display_only_).isEmpty();
  display_only_ = QRegion();
  paint_due_ = false;
  if (deliver && procedure_ != nullptr && !destroyed_) {
    in_paint_ = true;
    drawn_in_paint_ = QRegion();
    procedure_->OnPaint(*this);
    in_paint_ = false;
  }
  {
    QPainter painter(surface_);
    for (const QRect& rect : region) painter.drawImage(rect.topLeft(), image_, rect);
  }
  // What the procedure drew outside the exposed part is shown by a later repaint of its own.
  const QRegion outside = drawn_in_paint_ - region;
  drawn_in_paint_ = QRegion();
  if (!outside.isEmpty()) {
    display_only_ += outside;
    QWidget* surface = surface_;
    QMetaObject::invokeMethod(surface_, [surface, outside] { surface->update(outside); }, Qt::QueuedConnection);
  }
}

void QtWindow::HandleResize() {
  if (image_.size() != surface_->size()) ResizeImage(surface_->size());
  paint_due_ = true;
}

void QtWindow::ResizeImage(const QSize& size) {
  if (size == image_.size()) return;
  QImage fresh(size.expandedTo(QSize(1, 1)), QImage::Format_RGB32);
  fresh.fill(surface_->palette().color(QPalette::Window));
  if (!image_.isNull()) {
    QPainter painter(&fresh);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.drawImage(0, 0, image_);
  }
  image_ = fresh;
}

void QtWindow::CanvasChanged(const QRect& rect) {
  if (in_paint_) {
    drawn_in_paint_ += rect;
    return;
  }
  display_only_ += rect;
  surface_->update(rect);
}

// Lists ------------------------------------------------------------------------------------------

void QtWindow::AddListEntry(int id, const char* text) {
  Control* control = Find(id);
  if (control == nullptr || control->kind != ControlKind::kComboBox) return;
  auto* combo = static_cast<QComboBox*>(control->widget);
  const int selection = combo->currentIndex();
  combo->addItem(FromCp1250(text));
  // Adding the first entry selects nothing.
  if (selection < 0) combo->setCurrentIndex(-1);
}

void QtWindow::ResetList(int id) {
  Control* control = Find(id);
  if (control == nullptr || control->kind != ControlKind::kComboBox) return;
  static_cast<QComboBox*>(control->widget)->clear();
}

void QtWindow::SelectListEntry(int id, int position) {
  Control* control = Find(id);
  if (control == nullptr || control->kind != ControlKind::kComboBox) return;
  auto* combo = static_cast<QComboBox*>(control->widget);
  combo->setCurrentIndex(position >= 0 && position < combo->count() ? position : -1);
}

int QtWindow::GetListSelection(int id) {
  Control* control = Find(id);
  if (control == nullptr || control->kind != ControlKind::kComboBox) return -1;
  return static_cast<QComboBox*>(control->widget)->currentIndex();
}

int QtWindow::GetListCount(int id) {
  Control* control = Find(id);
  if (control == nullptr || control->kind != ControlKind::kComboBox) return 0;
  return static_cast<QComboBox*>(control->widget)->count();
}

// Check boxes ------------------------------------------------------------------------------------

void QtWindow::SetCheck(int id, bool checked) {
  Control* control = Find(id);
  if (control == nullptr || control->kind != ControlKind::kCheckBox) return;
  static_cast<QCheckBox*>(control->widget)->setChecked(checked);
}

bool QtWindow::GetCheck(int id) {
  Control* control = Find(id);
  if (control == nullptr || control->kind != ControlKind::kCheckBox) return false;
  return static_cast<QCheckBox*>(control->widget)->isChecked();
}

// Any control ------------------------------------------------------------------------------------

void QtWindow::ShowControl(int id, bool visible) {
  Control* control = Find(id);
  if (control != nullptr) control->widget->setVisible(visible);
}

void QtWindow::EnableControl(int id, bool enabled) {
  Control* control = Find(id);
  if (control != nullptr) control->widget->setEnabled(enabled);
}

void QtWindow::SetControlText(int id, const char* text) {
  Control* control = Find(id);
  if (control == nullptr) return;
  const QString shown = FromCp1250(text);
  switch (control->kind) {
    case ControlKind::kPushButton:
      if (control->text_label != nullptr) {
        control->text_label->SetSourceText(shown);
      } else {
        static_cast<QPushButton*>(control->widget)->setText(shown);
      }
      break;
    case ControlKind::kCheckBox: static_cast<QCheckBox*>(control->widget)->setText(shown); break;
    case ControlKind::kStatic: static_cast<QtStaticText*>(control->widget)->SetSourceText(shown); break;
    case ControlKind::kEdit: static_cast<QLineEdit*>(control->widget)->setText(shown); break;
    case ControlKind::kGroupBox: static_cast<QGroupBox*>(control->widget)->setTitle(shown); break;
    default: break;
  }
}

void QtWindow::MoveControl(int id, int x, int y, int width, int height) {
  Control* control = Find(id);
  if (control == nullptr) return;
  if (control->kind == ControlKind::kComboBox) {
    PlaceCombo(*static_cast<QtComboBox*>(control->widget), x, y, width, height);
  } else {
    control->widget->setGeometry(x, y, std::max(0, width), std::max(0, height));
  }
}

// Scroll bars ------------------------------------------------------------------------------------

void QtWindow::SetScrollRange(int id, int minimum, int maximum) {
  Control* control = Find(id);
  if (control == nullptr) return;
  if (control->kind != ControlKind::kHScrollBar && control->kind != ControlKind::kVScrollBar) return;
  static_cast<QScrollBar*>(control->widget)->setRange(std::min(minimum, maximum), std::max(minimum, maximum));
}

void QtWindow::SetScrollPosition(int id, int position) {
  Control* control = Find(id);
  if (control == nullptr) return;
  if (control->kind != ControlKind::kHScrollBar && control->kind != ControlKind::kVScrollBar) return;
  static_cast<QScrollBar*>(control->widget)->setValue(position);
}

int QtWindow::GetScrollPosition(int id) {
  Control* control = Find(id);
  if (control == nullptr) return 0;
  if (control->kind != ControlKind::kHScrollBar && control->kind != ControlKind::kVScrollBar) return 0;
  return static_cast<QScrollBar*>(control->widget)->value();
}

// Timers -----------------------------------------------------------------------------------------

void QtWindow::SetTimer(int timer_id, uint32_t period_ms) {
  if (destroyed_) return;
  QTimer*& timer = timers_[timer_id];
  if (timer == nullptr) {
    timer = new QTimer(surface_);
    QObject::connect(timer, &QTimer::timeout, surface_, [this, timer_id] {
      if (procedure_ != nullptr && !destroyed_) procedure_->OnTimer(*this, timer_id);
    });
  }
  // Like the system's timers, no period is shorter than 10 ms.
  timer->start(static_cast<int>(std::clamp<uint32_t>(period_ms, 10u, 0x7FFFFFFFu)));
}

void QtWindow::KillTimer(int timer_id) {
  auto found = timers_.find(timer_id);
  if (found == timers_.end()) return;
  found->second->stop();
  delete found->second;
  timers_.erase(found);
}

void QtWindow::KillAllTimers() {
  for (auto& [timer_id, timer] : timers_) {
    timer->stop();
    delete timer;
  }
  timers_.clear();
}

int QtWindow::TimerPeriod(int timer_id) const {
  auto found = timers_.find(timer_id);
  if (found == timers_.end() || !found->second->isActive()) return 0;
  return found->second->interval();
}

// The window itself ------------------------------------------------------------------------------

void QtWindow::MoveWindow(int x, int y, int width, int height) {
  if (dialog_ != nullptr) {
    // A modal dialog is placed by its frame; its client area is what remains inside the frame.
    QMargins frame;
    if (dialog_->windowHandle() != nullptr) frame = dialog_->windowHandle()->frameMargins();
    const int client_width = std::max(1, width - frame.left() - frame.right());
    const int client_height = std::max(1, height - frame.top() - frame.bottom());
    if (client_width != dialog_->width() || client_height != dialog_->height()) {
      dialog_->setFixedSize(client_width, client_height);
    }
    dialog_->move(x, y);
  } else {
    surface_->setGeometry(x, y, std::max(1, width), std::max(1, height));
  }
  ResizeImage(surface_->size());
}

Size QtWindow::GetWindowSize() {
  if (dialog_ != nullptr) {
    const QRect frame = dialog_->frameGeometry();
    return Size{frame.width(), frame.height()};
  }
  return Size{surface_->width(), surface_->height()};
}

void QtWindow::SetTitle(const char* text) {
  if (dialog_ != nullptr) dialog_->setWindowTitle(FromCp1250(text));
}

void QtWindow::EndDialog(int result) {
  if (dialog_ == nullptr || ended_) return;
  ended_ = true;
  end_result_ = result;
  if (running_) dialog_->done(result);
}

// Drawing contexts -------------------------------------------------------------------------------

Canvas& QtWindow::GetContext() {
  size_t slot = canvases_.size() - 1;  // all taken: the last one is handed out again
  for (size_t i = 0; i < canvases_.size(); ++i) {
    if (!canvas_taken_[i]) {
      slot = i;
      break;
    }
  }
  if (!canvases_[slot]) {
    canvases_[slot] = std::make_unique<QtCanvas>(image_, services_.CanvasFonts(), services_.Bitmaps(),
                                                 [this](const QRect& rect) { CanvasChanged(rect); });
  }
  canvases_[slot]->Reset();
  canvas_taken_[slot] = true;
  return *canvases_[slot];
}

void QtWindow::ReleaseContext(Canvas& canvas) {
  for (size_t i = 0; i < canvases_.size(); ++i) {
    if (canvases_[i].get() == &canvas) canvas_taken_[i] = false;
  }
}

// ---------------------------------------------------------------------------------------------
// Surfaces

QtPageWidget::QtPageWidget(QtWindowServices& services, QWidget* parent) : QWidget(parent) {
  // The page shows its image over all of its area, so nothing below it needs painting.
  setAttribute(Qt::WA_OpaquePaintEvent);
  setAttribute(Qt::WA_NoSystemBackground);
  window_ = std::make_unique<QtWindow>(services, *this, nullptr);
}

QtPageWidget::~QtPageWidget() = default;

void QtPageWidget::paintEvent(QPaintEvent* event) { window_->HandlePaint(event->region()); }

void QtPageWidget::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  window_->HandleResize();
}

void QtPageWidget::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  window_->HandleShow();
}

QtDialogWidget::QtDialogWidget(QtWindowServices& services, QWidget* parent) : QDialog(parent) {
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowCloseButtonHint);
  setAttribute(Qt::WA_OpaquePaintEvent);
  setSizeGripEnabled(false);
  setModal(true);
  window_ = std::make_unique<QtWindow>(services, *this, this);
}

QtDialogWidget::~QtDialogWidget() = default;

void QtDialogWidget::reject() {
  if (window_->Ended() || window_->Destroyed()) {
    QDialog::reject();
    return;
  }
  window_->HandleCancel();
}

void QtDialogWidget::paintEvent(QPaintEvent* event) { window_->HandlePaint(event->region()); }

void QtDialogWidget::resizeEvent(QResizeEvent* event) {
  QDialog::resizeEvent(event);
  window_->HandleResize();
}

void QtDialogWidget::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  window_->HandleShow();
}

void QtDialogWidget::closeEvent(QCloseEvent* event) {
  if (window_->Ended() || window_->Destroyed()) {
    QDialog::closeEvent(event);
    return;
  }
  // The close box is a cancel command; the dialog procedure decides whether the dialog ends.
  event->ignore();
  window_->HandleCancel();
}

}  // namespace korvel
